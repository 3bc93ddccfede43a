#include "launch.h"

#include "app/AppController.h"
#include "platform/WidgetDialogs.h"

#include <QApplication>

namespace garrison {

namespace {

AppController* g_controller = nullptr;

// Runs first thing in QApplication's destructor, while widgets can still be destroyed.
void destroyController()
{
    delete g_controller;
    g_controller = nullptr;
}

} // namespace

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
