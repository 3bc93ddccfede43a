#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace garrison::sim {

// Text helpers of the simulated server: its own Windows-1252 conversion (the simulator must not
// depend on GARRISON's libraries) and the engine's rules for colour codes.
class SimText {
public:
    // Unmappable characters become "?".
    static QByteArray toWire(QStringView text);
    static QString fromWire(QByteArrayView bytes);

    // A caret followed by a digit switches the colour and takes no room on screen.
    static bool isColourCode(QStringView text, qsizetype at);
    static int visibleLength(QStringView text);
    static QString stripColours(QStringView text);
};

} // namespace garrison::sim
