#pragma once

#include <QString>

namespace garrison::test {

// The definition the program's texts were built on: replace until nothing changes. The fast
// collapse in TextLines must always agree with it.
inline QString collapseByRepetition(QString text)
{
    qsizetype length = -1;
    while (length != text.size()) {
        length = text.size();
        text.replace(QStringLiteral("\r\n\r\n"), QStringLiteral("\r\n"));
    }
    return text;
}

} // namespace garrison::test
