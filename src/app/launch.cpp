#include "launch.h"

#include "GarrisonVersion.h"
#include "app/AppController.h"
#include "platform/ConsoleOutput.h"
#include "platform/HostSystem.h"
#include "platform/WidgetDialogs.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace garrison {

namespace {

AppController* g_controller = nullptr;

// Runs first thing in QApplication's destructor, while widgets can still be destroyed.
void destroyController()
{
    delete g_controller;
    g_controller = nullptr;
}

constexpr const char* kUsage =
    "Usage: garrison [--version] [--help] [Qt options]\n"
    "A desktop console for administering a game server over its remote console (RCON),\n"
    "directly or through the garrisond daemon. It opens the login window.\n"
    "See garrison(1) and garrison-rcon(1) for the command line.\n";

} // namespace

int launch(int& argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            ConsoleOutput::reachParentConsole();
            std::printf("garrison %s\n", kVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            ConsoleOutput::reachParentConsole();
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    HostSystem::prepareDisplay();
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    launch();
    return QApplication::exec();
}

AppController& launch()
{
    if (!g_controller) {
        g_controller = new AppController(std::make_unique<WidgetDialogs>());
        qAddPostRoutine(&destroyController);
    }
    g_controller->showLoginWindow();
    return *g_controller;
}

} // namespace garrison
