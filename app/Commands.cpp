#include "app/App.h"

#include "capture/StateFile.h"
#include "debug/Command.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <memory>
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

// "PC F806, cycle 123456": where a saved or loaded state stands.
std::string standing(const Mc6802& cpu) {
    char text[48];
    std::snprintf(text, sizeof text, "PC %04X, cycle %llu", cpu.PC,
                  static_cast<unsigned long long>(cpu.cycleCount));
    return text;
}

// The board is copied under the lock and written without it.
bool saveState(App& app, const std::string& file, std::string& answer) {
    const auto state = std::make_unique<StateFile>();
    SDL_LockAudio();
    state->take(app.cpu, app.audio);
    SDL_UnlockAudio();
    if (!state->save(file, answer)) return false;
    answer = "saved state to " + file + " (" + standing(state->board.cpu) + ")";
    return true;
}

// Read and checked whole before the board is touched; the processor stops at the loaded moment.
bool loadState(App& app, const std::string& file, std::string& answer) {
    const auto state = std::make_unique<StateFile>();
    if (!state->load(file, answer)) return false;
    // Only the main thread changes the PROM, so it is compared without the lock.
    const auto prom = state->board.memory.begin() + Mc6802::romBase;
    const bool newProm =
        !std::equal(prom, prom + Mc6802::romSize, app.cpu.memory + Mc6802::romBase);
    SDL_LockAudio();
    state->put(app.cpu, app.audio);
    app.audio.debugger.processorReset(); // forgets what a reset forgets: goal, stop reason
    app.history.clear();                 // the past is not this board's any more
    app.control.setRunning(false);
    app.audio.wasRunning = false;
    SDL_UnlockAudio();
    answer = "loaded state from " + file + " (" + standing(state->board.cpu) + ")" +
             (newProm ? "; its PROM differs from the one it replaced" : "");
    return true;
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
    if (command.kind == Kind::List) screen.listFrom = command.hasAddress ? command.address : -1;
    if (command.kind == Kind::Save)
        return saveState(*this, std::string(command.fileIn(line)), answer);
    if (command.kind == Kind::Load)
        return loadState(*this, std::string(command.fileIn(line)), answer);
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
