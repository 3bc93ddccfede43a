#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace garrison {

// The game's colour codes "^0" to "^7" in player names, for drawing them as the game does.
// Colours are 0xRRGGBB values, so that this stays free of any drawing code.
namespace GameColours {

// The colour of text that no code precedes: the game shows it white.
inline constexpr int kDefaultCode = 7;
// The dark cells that names are drawn on, in light and dark palettes alike.
inline constexpr unsigned int kNameCell = 0x23272E;
inline constexpr unsigned int kAlternateNameCell = 0x2B3038;

struct Run {
    int code = kDefaultCode;
    QString text;

    friend bool operator==(const Run&, const Run&) = default;
};

// The text cut where a code switches the colour; the codes themselves are not part of any run
// and empty runs are left out. A caret before anything but 0 to 7 is ordinary text.
QList<Run> runs(QStringView text);
// What the game shows: the text of every run.
QString shownText(QStringView text);

// 0xRRGGBB of code 0 to 7.
unsigned int rgb(int code);
// The colour of the code as drawn on the background: moved towards white on a dark one just
// far enough to be read (so black and blue names stay legible).
unsigned int shownOn(int code, unsigned int background);

} // namespace GameColours

} // namespace garrison
