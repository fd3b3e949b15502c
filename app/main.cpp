#include "app/App.h"
#include "app/CommandLine.h"
#include "app/Settings.h"

#include <SDL.h> // SDL's own entry glue wraps main where the platform needs it

#include <csignal>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    // Past a file-size limit (ulimit -f) a recording or trace fails with EFBIG, which is
    // reported, instead of the signal ending the program without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    const CommandLine commandLine = CommandLine::parse(argc, argv);
    if (commandLine.exitStatus != CommandLine::run) {
        std::fputs(commandLine.message.c_str(), commandLine.exitStatus == 0 ? stdout : stderr);
        return commandLine.exitStatus;
    }
    App app;
    app.options = commandLine.options;
    // A damaged settings file costs what it remembered, never the start.
    app.settingsPath = Settings::path(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    std::string error;
    if (!app.settingsPath.empty() && !Settings::read(app.settingsPath, app.settings, error))
        std::fprintf(stderr, "hummbox: ignoring the settings in %s: %s\n", app.settingsPath.c_str(),
                     error.c_str());
    std::fputs(CommandLine::useLast(app.options, app.settings.lastImage).c_str(), stderr);
    if (!app.init()) {
        app.teardown();
        return 1;
    }
    app.run();
    app.teardown();
    return 0;
}
