#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace garrison::tools {

// The stand-in programs' own Windows-1252 conversion: they speak the wire as the outside
// programs do and share no code with GARRISON. Every byte decodes and encodes back to itself;
// a character with no byte becomes "?".
class Cp1252 {
public:
    static QString decode(QByteArrayView bytes);
    static QByteArray encode(QStringView text);
};

} // namespace garrison::tools
