#include "HostSystem.h"

#include <QtGlobal>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

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

bool HostSystem::runsUnderWine()
{
#ifdef Q_OS_WIN
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

void HostSystem::prepareDisplay()
{
    if (runsUnderWine() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "windows:fontengine=freetype");
    }
}

} // namespace garrison
