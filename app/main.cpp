#include "app/App.h"

#include <SDL.h> // SDL's own entry glue wraps main where the platform needs it

int main(int, char**) {
    App app;
    if (!app.init()) {
        app.teardown();
        return 1;
    }
    app.run();
    app.teardown();
    return 0;
}
