// kestrun, the window program.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "VerInfo.h"
#include "ZApplication.h"
#include "ZMessageBox.h"
#include "ZULAppDir.h"

namespace {

const char* const kUsage =
    "Usage: kestrun [--terminal] [--plot] [FILE.scs]\n"
    "       kestrun --help | --version\n"
    "\n"
    "Records and parses serial data streams in a window. Opens the main window with the\n"
    "settings in use at the last close, then loads the settings file FILE.scs when given.\n"
    "With --terminal the terminal window opens beside it, with --plot the plot window.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the version and exit\n"
    "  --terminal     open the terminal window as well\n"
    "  --plot         open the plot window as well\n"
    "\n"
    "An installed kestrun keeps its settings, log files and port links in\n"
    "$XDG_DATA_HOME/kestrun (~/.local/share/kestrun); $KESTRUN_HOME names another folder.\n"
    "kestrun-cli does the same work without a window.\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before anything needs a display, so that they work anywhere.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kestrun %s\n", VerInfo().GetVersionString(8).c_str());
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
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
    // Log files, settings and port links go there: a folder others may write could
    // redirect them.
    if (std::string refused; !ZULCheckAppDir(refused)) {
        std::fprintf(stderr, "kestrun: %s\n", refused.c_str());
        ZMessageBox::Error(nullptr, QString::fromStdString(refused));
        return 1;
    }
    return app.Run();
}
