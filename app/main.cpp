#include "app/App.h"
#include "app/CommandLine.h"

#include <SDL.h> // SDL's own entry glue wraps main where the platform needs it

#include <csignal>
#include <cstdio>

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
    if (!app.init()) {
        app.teardown();
        return 1;
    }
    app.run();
    app.teardown();
    return 0;
}
