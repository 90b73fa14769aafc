// korva-qzs: the installer's program. Makes the Qt application and the program's services, whose
// application object runs the top menu until it closes.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/composition.h"
#include "app/ui/scripted_exit.h"

int main(int argc, char** argv) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool offscreen = platform != nullptr && std::strcmp(platform, "offscreen") == 0;
    if (!offscreen && std::getenv("DISPLAY") == nullptr &&
        std::getenv("WAYLAND_DISPLAY") == nullptr) {
        std::fprintf(stderr, "korva-qzs: no display: start it on an X server or under xvfb-run\n");
        return 1;
    }
    QApplication application(argc, argv);
    qzs::app::ui::ScriptedExit script;
    qzs::app::Composition program(script.overrides());
    return program.Run();
}
