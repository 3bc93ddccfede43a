#pragma once

// The log filters written step for step as they are meant to behave, without any cleverness:
// every removed line rewrites the whole text. Far too slow for a long log; the fast filter in
// src/ucon is compared with this one by the tests, the fuzzer and the benchmark.

#include <QString>

namespace garrison::literal {

inline const QString kLineBreak = QStringLiteral("\r\n");

inline qsizetype GetLineCount(const QString& text)
{
    return text.count(kLineBreak) + 1;
}

// Line n, counted from 1; the empty text when there is no such line.
inline QString GetTextboxLine(const QString& text, qsizetype n)
{
    if (n < 1) {
        return {};
    }
    qsizetype start = 0;
    for (qsizetype i = 1; i < n; ++i) {
        const qsizetype lineBreak = text.indexOf(kLineBreak, start);
        if (lineBreak < 0) {
            return {};
        }
        start = lineBreak + 2;
    }
    const qsizetype end = text.indexOf(kLineBreak, start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

template <typename Test> QString removeLines(QString text, Test removes)
{
    const qsizetype count = GetLineCount(text);
    for (qsizetype n = 1; n <= count; ++n) {
        const QString line = GetTextboxLine(text, n);
        // Replacing an empty text changes nothing.
        if (!line.isEmpty() && removes(line)) {
            text.replace(line, QString());
        }
    }
    return text;
}

inline QString CleanU(const QString& text)
{
    return removeLines(text, [](const QString& line) {
        return !line.contains(QChar(0x00FA), Qt::CaseInsensitive);
    });
}

inline QString CleanU2(const QString& text)
{
    return removeLines(text, [](const QString& line) {
        return line.contains(QStringLiteral("cvars"), Qt::CaseInsensitive);
    });
}

inline QString RemoveBlanks(QString text)
{
    qsizetype before = 0;
    do {
        before = text.size();
        text.replace(QStringLiteral("\r\n\r\n"), kLineBreak);
    } while (text.size() != before);
    return text;
}

inline QString newclean(QString text)
{
    while (text.contains(QStringLiteral("\r\n\r\n"))) {
        text.replace(QStringLiteral("\r\n\r\n"), kLineBreak);
    }
    return text;
}

inline QString MasterParse(const QString& raw)
{
    QString text = newclean(RemoveBlanks(CleanU2(CleanU(raw))));
    return text.replace(QChar(0x00FA), QStringLiteral(" - "));
}

} // namespace garrison::literal
