#include "DaemonEvent.h"

namespace garrison {

namespace {

QString unescaped(QStringView value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        out += next == QLatin1Char('t')   ? QChar(u'\t')
               : next == QLatin1Char('r') ? QChar(u'\r')
               : next == QLatin1Char('n') ? QChar(u'\n')
                                          : next;
    }
    return out;
}

DaemonEvent::Kind kindOf(QStringView name)
{
    using Kind = DaemonEvent::Kind;
    static const QHash<QString, Kind> kinds = {
        {QStringLiteral("stream"), Kind::Stream}, {QStringLiteral("refused"), Kind::Refused},
        {QStringLiteral("lost"), Kind::Lost},     {QStringLiteral("chat"), Kind::Chat},
        {QStringLiteral("join"), Kind::Join},     {QStringLiteral("quit"), Kind::Quit},
        {QStringLiteral("kill"), Kind::Kill},     {QStringLiteral("map"), Kind::Map},
        {QStringLiteral("alert"), Kind::Alert},   {QStringLiteral("report"), Kind::Report},
        {QStringLiteral("server"), Kind::Server},
    };
    return kinds.value(name.toString(), Kind::Other);
}

} // namespace

QDateTime DaemonEvent::at() const
{
    QDateTime at = QDateTime::fromString(value(QStringLiteral("at")), Qt::ISODateWithMs);
    return at.isValid() ? at.toUTC() : at;
}

std::optional<DaemonEvent> DaemonEvent::parse(QStringView line)
{
    if (!line.startsWith(kPrefix)) {
        return std::nullopt;
    }
    if (line.endsWith(QLatin1Char('\n'))) {
        line.chop(1);
    }
    DaemonEvent event;
    const QList<QStringView> parts = line.sliced(kPrefix.size()).split(QLatin1Char('\t'));
    event.kindName = parts.first().toString();
    if (event.kindName.isEmpty()) {
        return std::nullopt;
    }
    event.kind = kindOf(event.kindName);
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const qsizetype equals = parts[i].indexOf(QLatin1Char('='));
        if (equals > 0) {
            event.fields.insert(parts[i].first(equals).toString(),
                                unescaped(parts[i].sliced(equals + 1)));
        }
    }
    return event;
}

} // namespace garrison
