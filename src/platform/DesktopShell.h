#pragma once

#include <QString>

namespace garrison {

class DesktopShell {
public:
    // Opens a web page with the user's browser.
    static bool openPage(const QString& address);
};

} // namespace garrison
