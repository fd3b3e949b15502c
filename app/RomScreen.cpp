// The two RomBrowser operations that take the App: the selection screen's frame and the
// load that switches to the debugger. They live with the App, which owns the browser, so
// that the ROM room never includes the application room.
#include "app/App.h"

#include <SDL.h>

bool RomBrowser::loadImage(App& app, const std::string& name) {
    // Audio output is paused (or the audio device locked) here, so the audio thread is not
    // running the processor.
    if (!loadInto(app.cpu, name)) return false;
    app.audio.debugger.processorReset();
    app.mode = App::modeDebugger;
    app.watchLoaded();
    SDL_PauseAudio(0);
    return true;
}

void RomBrowser::frame(App& app) {
    SDL_RenderClear(app.screen.renderer);
    // Return loads before the list is drawn, as the frame's key handling comes first.
    if (const std::string* chosen = moveHighlight(app.control.cursorDy, app.control.enter))
        loadImage(app, *chosen);
    drawList(*app.screen.font);
    app.screen.drawOverlays();
    SDL_RenderPresent(app.screen.renderer);
}
