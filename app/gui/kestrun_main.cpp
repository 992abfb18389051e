// kestrun, the window program.
#include <cstdio>
#include <cstdlib>

#include "ZApplication.h"

int main(int argc, char** argv) {
    // Without any display Qt would abort; say what to do instead.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const auto unset = [](const char* value) { return value == nullptr || *value == '\0'; };
    if (unset(platform) && unset(x11) && unset(wayland)) {
        std::fprintf(stderr,
                     "kestrun: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Run it in a desktop session, or use kestrun-cli, the headless program.\n");
        return 2;
    }
    ZApplication app(argc, argv);
    return app.Run();
}
