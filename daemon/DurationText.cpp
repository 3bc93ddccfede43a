#include "DurationText.h"

#include <QStringList>

namespace garrisond {

namespace {

QString counted(qint64 count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

} // namespace

std::optional<std::chrono::seconds> DurationText::parse(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.size() < 2) {
        return std::nullopt;
    }
    const QChar unit = trimmed.back();
    qint64 scale = 0;
    if (unit == u's') {
        scale = 1;
    } else if (unit == u'm') {
        scale = 60;
    } else if (unit == u'h') {
        scale = 3600;
    } else {
        return std::nullopt;
    }
    const QStringView digits = QStringView(trimmed).chopped(1);
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
    }
    bool ok = false;
    const qint64 count = digits.toLongLong(&ok);
    if (!ok || count > kMax.count() / scale) {
        return std::nullopt;
    }
    return std::chrono::seconds(count * scale);
}

std::optional<QList<std::chrono::seconds>> DurationText::parseList(const QString& text)
{
    QList<std::chrono::seconds> durations;
    if (text.trimmed().isEmpty()) {
        return durations;
    }
    for (const QString& part : text.split(QLatin1Char(','))) {
        const std::optional<std::chrono::seconds> duration = parse(part);
        if (!duration) {
            return std::nullopt;
        }
        durations.append(*duration);
    }
    return durations;
}

QString DurationText::inWords(std::chrono::seconds duration)
{
    const qint64 total = duration.count();
    QStringList parts;
    if (total / 3600 > 0) {
        parts.append(counted(total / 3600, "hour", "hours"));
    }
    if (total % 3600 / 60 > 0) {
        parts.append(counted(total % 3600 / 60, "minute", "minutes"));
    }
    if (total % 60 > 0 || total == 0) {
        parts.append(counted(total % 60, "second", "seconds"));
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace garrisond
