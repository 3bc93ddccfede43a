#pragma once

#include <QFont>

namespace garrison {

// The font for text in columns (the console transcript, the server's info): the system's
// fixed-pitch font, or, where the system names one it does not have (a Windows without
// Courier New, a desktop without a "monospace" alias), the first fixed-pitch family it has.
class FixedPitchFont {
public:
    static QFont get();
};

} // namespace garrison
