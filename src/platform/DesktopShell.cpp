#include "DesktopShell.h"

#include <QDesktopServices>
#include <QUrl>

namespace garrison {

bool DesktopShell::openPage(const QString& address)
{
    return QDesktopServices::openUrl(QUrl(address));
}

} // namespace garrison
