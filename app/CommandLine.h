#pragma once

#include "cpu/Mc6802.h"

#include <filesystem>
#include <string>

// What the command line asks of a run: which instruction set the processor has, and where
// the selection screen lists from and which image, if any, is loaded at once.
struct Options {
    InstructionSet cpu = InstructionSet::Board;
    std::filesystem::path directory; // listed and loaded from; empty: the working directory
    std::string image;               // a name in directory loaded at start; empty: none
    bool last = false;               // --last: without a path, the image loaded last time
    std::string scriptName;          // --script: its path, and the text read from it
    std::string script;
};

// hummbox [--cpu board|complete] [--last] [IMAGE | DIRECTORY]. Paths are checked here, before any
// window opens: a run either gets usable options, or ends at once with exitStatus and a
// message (usage and version on stdout with 0, one line naming the fault on stderr with 2).
struct CommandLine {
    static constexpr int run = -1;
    Options options;
    int exitStatus = run;
    std::string message;

    static CommandLine parse(int argc, const char* const* argv);
    // Fills options from an image or directory path as the command line would; otherwise
    // says in a few words why the path cannot be used.
    static std::string usePath(const std::filesystem::path& path, Options& options);
    // --last without a path: options from the image remembered as loaded last. Without a
    // usable one the working directory is listed, as without --last, and the line that
    // says why is returned (else nothing).
    static std::string useLast(Options& options, const std::string& last);
};
