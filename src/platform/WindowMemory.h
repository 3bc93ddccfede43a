#pragma once

#include <QString>

class QWidget;

namespace garrison {

// Window sizes and positions kept in the settings store between runs, under "[Window]".
class WindowMemory {
public:
    static inline const QString kSection = QStringLiteral("[Window]");

    // Gives the window its remembered geometry; false when none was kept or it is unusable.
    static bool restore(QWidget& window, const QString& key);
    static void remember(const QWidget& window, const QString& key);
};

} // namespace garrison
