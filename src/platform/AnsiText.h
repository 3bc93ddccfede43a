#pragma once

#include <QByteArray>
#include <QString>

namespace garrison {

// Datagrams, daemon messages and the relay's files are single-byte Windows-1252 ("ANSI") text.
// Every one of the 256 byte values decodes to a character and encodes back to the same byte;
// the five bytes that Windows-1252 leaves undefined map to the C1 control characters of the
// same value. A character with no byte is written as "?".
QString fromAnsi(const QByteArray& bytes);
QByteArray toAnsi(const QString& text);

} // namespace garrison
