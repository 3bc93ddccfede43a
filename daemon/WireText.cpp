#include "WireText.h"

#include "Cp1252.h"

namespace garrisond {

QString WireText::decode(const QByteArray& bytes)
{
    return garrison::tools::Cp1252::decode(bytes);
}

QByteArray WireText::encode(const QString& text)
{
    return garrison::tools::Cp1252::encode(text);
}

bool WireText::isEncodable(const QString& text)
{
    return decode(encode(text)) == text;
}

bool WireText::hasControlBytes(const QByteArray& bytes)
{
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if ((u < 0x20 && u != '\t' && u != '\r' && u != '\n') || u == 0x7F) {
            return true;
        }
    }
    return false;
}

} // namespace garrisond
