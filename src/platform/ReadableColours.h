#pragma once

#include <QColor>
#include <QPalette>

class QWidget;

namespace garrison {

// Colours of our own that must stay readable on whatever palette the desktop gives.
namespace ReadableColours {

// A dark desktop: light text on dark windows.
bool isDark(const QPalette& palette);
// The grey behind the console transcripts: light grey on a light desktop, a shade lighter than
// the base on a dark one. Called again whenever the palette changes.
void setTranscriptBackground(QWidget& box, const QPalette& palette);
// The palette's link colour, lightened or darkened until it reads on the window colour (the
// link of a light palette is dark blue, which vanishes on a dark window).
QColor link(const QPalette& palette);

} // namespace ReadableColours

} // namespace garrison
