#include "TerminalText.h"

namespace garrison::cli::TerminalText {

namespace {

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

QString escaped(char16_t c)
{
    switch (c) {
    case u'\b':
        return QStringLiteral("\\b");
    case u'\t':
        return QStringLiteral("\\t");
    case u'\n':
        return QStringLiteral("\\n");
    case u'\f':
        return QStringLiteral("\\f");
    case u'\r':
        return QStringLiteral("\\r");
    default:
        return QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
    }
}

QString shown(const QString& text, bool keepLayout)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const char16_t unicode = c.unicode();
        if (isControl(unicode) && !(keepLayout && (unicode == u'\n' || unicode == u'\t'))) {
            result += escaped(unicode);
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace

QString reply(const QString& text)
{
    return shown(text, true);
}

QString field(const QString& text)
{
    return shown(text, false);
}

QString json(const QString& document)
{
    // Qt escapes the C0 controls itself; what is left of the controls is none of its layout.
    return shown(document, true);
}

} // namespace garrison::cli::TerminalText
