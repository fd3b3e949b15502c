#include "app/App.h"

#include "debug/Command.h"

#include <SDL.h>

#include <cstdio>
#include <string>

namespace {

std::string_view withoutComment(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool starts = i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t';
        const bool ends = i + 1 == line.size() || line[i + 1] == ' ' || line[i + 1] == '\t';
        if (line[i] == '#' && starts && ends) return line.substr(0, i);
    }
    return line;
}

} // namespace

void App::runSubmittedLine() {
    DebugCommand command;
    std::string text;
    if (!input.runSubmitted(control, snapshot.cpu, snapshot.debug, &browser.labels, command, text))
        return;
    input.line.failed = !runMainCommand(command, text, input.line.answer);
}

bool App::startTrace(const Expression& condition, std::string_view file) {
    // Before the tap is set, so that the first instruction traced already meets it.
    SDL_LockAudio();
    audio.debugger.traceWhen(condition);
    SDL_UnlockAudio();
    return file.empty() ? tracer.start() : tracer.startFile(std::string(file));
}

bool App::runMainCommand(const DebugCommand& command, std::string_view line, std::string& answer) {
    using Kind = DebugCommand::Kind;
    if (command.kind == Kind::Help) screen.helpShown = screen.helpCommands = true;
    if (command.kind == Kind::TraceOn) {
        if (tracer.tracing()) {
            answer = "already tracing to " + tracer.name() + ": trace off first";
            return false;
        }
        if (!startTrace(command.condition, command.fileIn(line))) {
            answer = tracer.error();
            return false;
        }
        if (command.fileLength == 0) answer.insert(8, " " + tracer.name()); // after "trace on"
    }
    if (command.kind == Kind::TraceOff) {
        if (!tracer.tracing()) {
            answer = "no trace is running";
            return false;
        }
        answer = tracer.stop() ? "saved " + tracer.name() : tracer.error();
    }
    return true;
}

int App::runScript(std::string_view text, std::string_view name) {
    int failed = 0;
    for (int number = 1; !text.empty(); ++number) {
        const std::size_t end = text.find('\n');
        const std::string_view line = withoutComment(text.substr(0, end));
        text = end == std::string_view::npos ? "" : text.substr(end + 1);
        DebugCommand command;
        std::string answer;
        // Each line is read against the live processor, so it sees what the ones before did.
        SDL_LockAudio();
        bool good =
            DebugCommand::parse(line, &browser.labels, cpu, audio.debugger.status, command, answer);
        if (good && !command.onMainThread()) audio.apply(command);
        SDL_UnlockAudio();
        if (good && command.onMainThread()) good = runMainCommand(command, line, answer);
        if (!good) {
            ++failed;
            std::fprintf(stderr, "hummbox: %.*s:%d: %s\n", static_cast<int>(name.size()),
                         name.data(), number, answer.c_str());
        }
    }
    return failed;
}
