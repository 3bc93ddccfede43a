#include "CsvText.h"

#include <QRegularExpression>

namespace garrison::CsvText {

QString field(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^[-+]?[0-9]+(\\.[0-9]+)?$"));
    const bool formula = !text.isEmpty() && QStringLiteral("=+-@").contains(text.front()) &&
                         !number.match(text).hasMatch();
    if (!formula && !text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        return text;
    }
    QString escaped = text;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + (formula ? QStringLiteral("'") : QString()) + escaped +
           QLatin1Char('"');
}

} // namespace garrison::CsvText
