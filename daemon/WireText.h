#pragma once

#include <QByteArray>
#include <QString>

namespace garrisond {

// Messages on the link are Windows-1252 bytes with no framing.
class WireText {
public:
    static QString decode(const QByteArray& bytes);
    // Characters outside the code page become "?".
    static QByteArray encode(const QString& text);
    // True when every character has a byte in the code page.
    static bool isEncodable(const QString& text);
    // True when the bytes hold a control character that no typed text contains (NUL and the
    // like); tab, CR and LF are allowed.
    static bool hasControlBytes(const QByteArray& bytes);
};

} // namespace garrisond
