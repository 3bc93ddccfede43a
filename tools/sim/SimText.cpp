#include "SimText.h"

#include "Cp1252.h"

namespace garrison::sim {

QByteArray SimText::toWire(QStringView text)
{
    return tools::Cp1252::encode(text);
}

QString SimText::fromWire(QByteArrayView bytes)
{
    return tools::Cp1252::decode(bytes);
}

bool SimText::isColourCode(QStringView text, qsizetype at)
{
    return at + 1 < text.size() && text[at] == u'^' && text[at + 1] >= u'0' && text[at + 1] <= u'9';
}

int SimText::visibleLength(QStringView text)
{
    int length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isColourCode(text, i)) {
            ++i;
        } else {
            ++length;
        }
    }
    return length;
}

QString SimText::stripColours(QStringView text)
{
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isColourCode(text, i)) {
            ++i;
        } else {
            plain.append(text[i]);
        }
    }
    return plain;
}

} // namespace garrison::sim
