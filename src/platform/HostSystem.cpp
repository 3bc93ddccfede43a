#include "HostSystem.h"

namespace garrison {

bool HostSystem::passesOneCommandLine()
{
#ifdef Q_OS_WIN
    return true;
#else
    return false;
#endif
}

bool HostSystem::programsCarrySuffix()
{
    return passesOneCommandLine();
}

} // namespace garrison
