#pragma once

#include <QString>

namespace garrison {

// A window that shows a text, replacing what it showed, and comes to the front (the reader
// window): server info, the daemon's log, the player menu's copies and reports.
class TextViewer {
public:
    virtual ~TextViewer() = default;
    virtual void showText(const QString& text) = 0;
};

} // namespace garrison
