#include "audio/Script.h"

#include "audio/AudioEngine.h"
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

int runScript(std::string_view text, std::string_view name, AudioEngine& engine,
              const Labels* labels) {
    int failed = 0;
    for (int number = 1; !text.empty(); ++number) {
        const std::size_t end = text.find('\n');
        const std::string_view line = withoutComment(text.substr(0, end));
        text = end == std::string_view::npos ? "" : text.substr(end + 1);
        DebugCommand command;
        std::string answer;
        SDL_LockAudio();
        const bool good =
            DebugCommand::parse(line, labels, *engine.cpu, engine.debugger.status, command, answer);
        if (good) engine.apply(command);
        SDL_UnlockAudio();
        if (!good) {
            ++failed;
            std::fprintf(stderr, "hummbox: %.*s:%d: %s\n", static_cast<int>(name.size()),
                         name.data(), number, answer.c_str());
        }
    }
    return failed;
}
