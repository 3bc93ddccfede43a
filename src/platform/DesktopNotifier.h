#pragma once

#include <QString>

namespace garrison {

// A notification through the desktop's own notification service: org.freedesktop.Notifications
// on the session bus where a desktop offers it. Elsewhere (Windows, a session without that
// service) it shows nothing and says so, and the caller uses its tray icon.
class DesktopNotifier {
public:
    // False when no notification service is there; the call does not wait for the service.
    static bool notify(const QString& title, const QString& text);
};

} // namespace garrison
