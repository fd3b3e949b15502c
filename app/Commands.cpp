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

bool App::runMainCommand(const DebugCommand& command, [[maybe_unused]] std::string_view line,
                         [[maybe_unused]] std::string& answer) {
    if (command.kind == DebugCommand::Kind::Help) screen.helpShown = screen.helpCommands = true;
    if (command.kind == DebugCommand::Kind::List)
        screen.listFrom = command.hasAddress ? command.address : -1;
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
