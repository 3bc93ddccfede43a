#include "launch.h"

namespace garrison {

class AppController {};

AppController& launch()
{
    static AppController controller;
    return controller;
}

} // namespace garrison
