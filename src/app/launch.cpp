#include "launch.h"

#include "app/AppController.h"
#include "platform/WidgetDialogs.h"

#include <QApplication>

namespace garrison {

AppController& launch()
{
    // Parented to the application object: the windows go before QApplication does.
    auto* controller = new AppController(std::make_unique<WidgetDialogs>(), qApp);
    controller->showLoginWindow();
    return *controller;
}

} // namespace garrison
