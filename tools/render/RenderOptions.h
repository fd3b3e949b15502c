#pragma once

#include "audio/AudioEngine.h"
#include "capture/WavFile.h"
#include "cpu/Mc6802.h"

#include <optional>
#include <string>
#include <vector>

// What hummbox-render's command line asks of a run.
struct RenderOptions {
    std::string image{};
    std::optional<int> command{};
    std::vector<double> irqAt{};
    std::optional<double> seconds{};
    int speed = AudioEngine::defaultSpeed;
    InstructionSet cpu = InstructionSet::Board;
    bool fromCommand = false;
    std::string output{};
    std::string trace{};
    bool all = false;
    std::string catalog{}; // --catalog DIR
    std::string check{};   // --check DIR
    int first = 0;
    int last = 255;
    WavFormat format = WavFormat::Float32;
    bool quiet = false;

    bool operator==(const RenderOptions&) const = default;
};

// hummbox-render [options] IMAGE. Only the words are checked here, no file: a run either gets
// its options, or ends at once with exitStatus and message (the usage on stdout with 0, one
// line naming the fault on stderr with 2).
struct RenderCommandLine {
    static constexpr int run = -1;
    RenderOptions options;
    int exitStatus = run;
    std::string message;

    static RenderCommandLine parse(int argc, char* const* argv);
};
