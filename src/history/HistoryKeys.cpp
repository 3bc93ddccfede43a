#include "HistoryKeys.h"

#include "rcon/TextLines.h"

namespace garrison::HistoryKeys {

QString plainName(const QString& name)
{
    return StripColourCodes(name).toLower();
}

bool isGuid(const QString& guid)
{
    bool nonZero = false;
    for (const QChar character : guid) {
        if (character < QLatin1Char('0') || character > QLatin1Char('9')) {
            return false;
        }
        nonZero = nonZero || character != QLatin1Char('0');
    }
    return nonZero;
}

QString playerKey(const QString& serverKey, const QString& guid, const QString& name)
{
    if (isGuid(guid)) {
        return QStringLiteral("g:") + guid;
    }
    return QStringLiteral("n:") + serverKey + QLatin1Char('\t') + plainName(name);
}

QString host(const QString& address)
{
    const qsizetype colon = address.lastIndexOf(QLatin1Char(':'));
    return colon > 0 ? address.left(colon) : address;
}

} // namespace garrison::HistoryKeys
