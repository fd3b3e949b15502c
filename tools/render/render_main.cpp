// hummbox-render: plays a sound ROM offline through the board's audio path and writes WAV.

#include "audio/AudioEngine.h"
#include "audio/OfflineRenderer.h"
#include "capture/ReplacingFile.h"
#include "capture/TraceWriter.h"
#include "capture/WavFile.h"
#include "rom/RomImage.h"
#include "tools/render/Catalogue.h"
#include "tools/render/RenderOptions.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

ReplacingFile* unfinished = nullptr; // an output to discard when the run fails

[[noreturn]] void fail(const std::string& message) {
    if (unfinished != nullptr) unfinished->discard(); // exit unwinds nothing
    std::fprintf(stderr, "hummbox-render: %s\n", message.c_str());
    std::exit(1);
}

// SIGINT, SIGTERM and SIGHUP remove the temporary files, then end the run as they would
// have: the handler is reset to the default before it runs, and the raised signal waits
// for it to return.
void endBySignal(int signal) {
    ReplacingFile::removeTemporaries();
    raise(signal);
}

void removeTemporariesOnSignals() {
    struct sigaction action {};
    action.sa_handler = endBySignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        // One ignored stays so: a run started with nohup, or in the background by a shell.
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
}

RomImage readImage(const std::string& path) {
    RomImage image;
    std::string error;
    if (!RomImage::read(path, image, error)) fail("cannot read " + path + ": " + error);
    if (!image.complete())
        fail(path + " holds " + std::to_string(image.length) +
             " bytes; a ROM image is a file of 2048 bytes or more (only the first 2048 are "
             "read)");
    return image;
}

std::string stem(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string seconds(std::size_t samples) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s",
                  static_cast<double>(samples) / AudioEngine::sampleRate);
    return text;
}

void progress(int done, int total) {
    constexpr int width = 40;
    const int filled = total > 0 ? done * width / total : width;
    std::fprintf(stderr, "\r[%s%s] %d/%d",
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(width - filled), ' ').c_str(), done, total);
    std::fflush(stderr);
}

int renderAll(const RenderOptions& o, OfflineRenderer& renderer) {
    const std::string dir = o.output.empty() ? "." : o.output;
    std::error_code failed;
    std::filesystem::create_directories(dir, failed);
    if (failed) fail("cannot create directory " + dir + ": " + failed.message());
    const bool bar = !o.quiet && isatty(STDERR_FILENO);
    const int total = o.last - o.first + 1;
    RenderJob job;
    job.seconds = o.seconds.value_or(10.0);
    job.speed = o.speed;
    job.interruptTimes = {0.0};
    job.fromFirstInterrupt = true;
    job.stopWhenSteady = 1.0;
    std::vector<std::string> lines;
    for (int command = o.first; command <= o.last; ++command) {
        if (bar) progress(command - o.first, total);
        job.command = command;
        const RenderResult result = renderer.render(job);
        if (result.interruptsMissed > 0) {
            if (bar) std::fputc('\n', stderr);
            fail("the program never unmasked interrupts, so no command can be played");
        }
        if (!result.changed) continue;
        char name[16];
        std::snprintf(name, sizeof name, "-%03d.wav", command);
        const std::string path = dir + "/" + stem(o.image) + name;
        std::string error;
        if (sameFile(path, o.image)) error = "cannot write " + path + ": it is the ROM image";
        if (!error.empty() || !writeWav(path, result.samples, o.format, error)) {
            if (bar) std::fputc('\n', stderr);
            fail(error);
        }
        lines.push_back(path + ": sound for " + seconds(result.lastChange + 1) + ", " +
                        seconds(result.samples.size()) + " written");
    }
    if (bar) {
        progress(total, total);
        std::fputc('\n', stderr);
    }
    if (!o.quiet) {
        for (const std::string& line : lines)
            std::printf("%s\n", line.c_str());
        std::printf("%zu of %d commands made a sound\n", lines.size(), total);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Past a file-size limit (ulimit -f) a write fails with EFBIG, which is reported, instead
    // of the signal ending the run without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    removeTemporariesOnSignals();
    const RenderCommandLine commandLine = RenderCommandLine::parse(argc, argv);
    if (commandLine.exitStatus != RenderCommandLine::run) {
        std::fputs(commandLine.message.c_str(), commandLine.exitStatus == 0 ? stdout : stderr);
        return commandLine.exitStatus;
    }
    const RenderOptions& o = commandLine.options;
    const RomImage image = readImage(o.image);
    auto renderer = std::make_unique<OfflineRenderer>();
    renderer->board.cpu.instructionSet = o.cpu; // the reset of the load keeps it
    renderer->loadImage(image.bytes.data());
    if (o.all) return renderAll(o, *renderer);
    if (!o.catalog.empty()) return writeCatalogue(o, *renderer);
    if (!o.check.empty()) return checkCatalogue(o, *renderer, image);

    RenderJob job;
    job.seconds = o.seconds.value_or(5.0);
    job.speed = o.speed;
    job.command = o.command.value_or(-1);
    job.interruptTimes = o.irqAt;
    if (o.command && job.interruptTimes.empty()) job.interruptTimes = {0.0};
    job.fromFirstInterrupt = o.fromCommand;

    const std::string output = o.output.empty() ? stem(o.image) + ".wav" : o.output;
    if (sameFile(output, o.image)) fail("cannot write " + output + ": it is the ROM image");
    // The trace streams into a file of its own, put in place beside the WAV at the end.
    ReplacingFile trace;
    std::string error;
    TraceWriter tracer(OfflineRenderer::traceRecords);
    tracer.attach(renderer->engine);
    if (!o.trace.empty()) {
        if (sameFile(o.trace, o.image)) fail("cannot write " + o.trace + ": it is the ROM image");
        if (o.trace == output || sameFile(o.trace, output))
            fail("cannot write " + o.trace + ": it is the WAV output");
        if (!trace.open(o.trace, error)) fail(error);
        unfinished = &trace;
        if (!tracer.startOffline(dup(trace.fd()), o.trace)) fail(tracer.error());
        renderer->afterBuffer = [&] { tracer.drain(); };
    }
    const std::clock_t cpuStart = std::clock();
    const auto wallStart = std::chrono::steady_clock::now();
    const RenderResult result = renderer->render(job);
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    if (o.fromCommand && result.interruptSamples.empty())
        fail(result.interruptsMissed > 0
                 ? "the program never unmasked interrupts; nothing recorded"
                 : "no interrupt came due within the " + std::to_string(int(job.bootLimit)) +
                       " s that --from-command waits; nothing recorded");
    if (!o.trace.empty() && !tracer.stop()) fail(tracer.error());
    if (tracer.itemsDropped() > 0)
        fail("the trace lost " + std::to_string(tracer.itemsDropped()) + " instructions");
    if (!writeWav(output, result.samples, o.format, error)) fail(error);
    if (!o.trace.empty() && !trace.commit(error)) fail(error);
    if (result.interruptsMissed > 0)
        std::fprintf(stderr,
                     "hummbox-render: %zu interrupt(s) not taken: the program kept them masked\n",
                     result.interruptsMissed);
    if (result.interruptsLate > 0)
        std::fprintf(stderr,
                     "hummbox-render: %zu interrupt(s) not taken: the recording ended (after %s) "
                     "before they came due at a 1,024-sample buffer boundary\n",
                     result.interruptsLate, seconds(result.samples.size()).c_str());
    if (!o.quiet) {
        const double audio = static_cast<double>(result.samples.size()) / AudioEngine::sampleRate;
        std::printf("%s: %s written; rendered in %.3f s of processor time (%.0fx real time), %.3f "
                    "s wall clock\n",
                    output.c_str(), seconds(result.samples.size()).c_str(), cpu,
                    cpu > 0 ? audio / cpu : 0.0, wall);
    }
    return 0;
}
