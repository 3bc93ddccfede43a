#include "TextLines.h"

namespace garrison {

namespace {
constexpr QStringView kLineBreak = u"\r\n";
} // namespace

QString StripColourCodes(QString text)
{
    if (!text.contains(QLatin1Char('^'))) {
        return text;
    }
    static const QString kCodes[] = {
        QStringLiteral("^0"), QStringLiteral("^1"), QStringLiteral("^2"), QStringLiteral("^3"),
        QStringLiteral("^4"), QStringLiteral("^5"), QStringLiteral("^6"), QStringLiteral("^7"),
    };
    for (const QString& code : kCodes) {
        text.remove(code);
    }
    return text;
}

QString GetTextboxLine(const QString& text, int lineNumber)
{
    if (lineNumber < 1) {
        return {};
    }
    qsizetype start = 0;
    for (int line = 1; line < lineNumber; ++line) {
        const qsizetype lineBreak = text.indexOf(kLineBreak, start);
        if (lineBreak < 0) {
            return {};
        }
        start = lineBreak + kLineBreak.size();
    }
    const qsizetype end = text.indexOf(kLineBreak, start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

int GetLineCount(const QString& text)
{
    return static_cast<int>(text.count(kLineBreak)) + 1;
}

QList<QStringView> lineViews(const QString& text)
{
    QList<QStringView> lines;
    const QStringView whole(text);
    qsizetype start = 0;
    for (;;) {
        const qsizetype lineBreak = whole.indexOf(kLineBreak, start);
        if (lineBreak < 0) {
            lines.append(whole.mid(start));
            return lines;
        }
        lines.append(whole.mid(start, lineBreak - start));
        start = lineBreak + kLineBreak.size();
    }
}

QStringList splitLines(const QString& text)
{
    return text.split(QStringLiteral("\r\n"));
}

QString collapseBlankLines(const QString& text)
{
    // One pass gives the fixed point of the repeated replacement: line breaks never overlap,
    // and shortening a run leaves the characters around it as they were, so no new pair forms.
    QString result;
    result.reserve(text.size());
    const QStringView whole(text);
    qsizetype start = 0;
    for (;;) {
        const qsizetype lineBreak = whole.indexOf(kLineBreak, start);
        if (lineBreak < 0) {
            result.append(whole.mid(start));
            return result;
        }
        result.append(whole.mid(start, lineBreak - start));
        result.append(kLineBreak);
        start = lineBreak + kLineBreak.size();
        while (whole.mid(start, kLineBreak.size()) == kLineBreak) {
            start += kLineBreak.size();
        }
    }
}

} // namespace garrison
