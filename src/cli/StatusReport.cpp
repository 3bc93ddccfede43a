#include "StatusReport.h"

#include "cli/ReportText.h"
#include "rcon/ReplyRouter.h"
#include "rcon/StatusParser.h"
#include "rcon/TextLines.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <optional>

namespace garrison::cli {

namespace {

// The JSON names of the player row's cells, in the row's order.
constexpr std::array<QLatin1StringView, PlayerRow::ColumnCount> kJsonNames = {
    QLatin1StringView("name"), QLatin1StringView("score"), QLatin1StringView("ping"),
    QLatin1StringView("guid"), QLatin1StringView("slot"),  QLatin1StringView("address")};

// The table leads with the slot, which kick and ban commands take.
constexpr std::array<int, PlayerRow::ColumnCount> kTableOrder = {
    PlayerRow::Slot, PlayerRow::Name, PlayerRow::Score,
    PlayerRow::Ping, PlayerRow::Guid, PlayerRow::Address};

QString shown(const QString& text, bool raw)
{
    return raw ? text : StripColourCodes(text);
}

// Digits become JSON numbers; addresses and empty guids stay text.
QJsonValue jsonCell(const QString& text, int column)
{
    static const QRegularExpression number(QStringLiteral("^-?\\d{1,9}$"));
    if (column != PlayerRow::Name && column != PlayerRow::Guid && number.match(text).hasMatch()) {
        return text.toInt();
    }
    return text;
}

// The ping cell holds a number for an active player and a word for the others.
struct Ping {
    std::optional<int> milliseconds;
    QString state;
};

Ping ping(const QString& cell)
{
    const QString text = cell.trimmed();
    bool number = false;
    const int milliseconds = text.toInt(&number);
    if (number) {
        return {milliseconds, QStringLiteral("active")};
    }
    if (text == QLatin1String("CNCT")) {
        return {std::nullopt, QStringLiteral("connecting")};
    }
    if (text == QLatin1String("ZMBI")) {
        return {std::nullopt, QStringLiteral("zombie")};
    }
    return {std::nullopt, QStringLiteral("unknown")};
}

using ReportText::csvField;

} // namespace

StatusReport StatusReport::fromReplies(const QString& statusText, const QString& hostText,
                                       const QDateTime& time)
{
    const StatusParser::StatusTable table = StatusParser::parse(statusText);
    QString host = ReplyRouter::parseHostName(hostText);
    // Servers that quote the value ("sv_hostname" is:"name^7" default:"...").
    static const QRegularExpression quoted(QStringLiteral("is:\\s*\"([^\"]*)\""));
    if (const QRegularExpressionMatch match = quoted.match(hostText); match.hasMatch()) {
        host = match.captured(1);
    }
    return {host, table.map, table.rows, time};
}

QString StatusReport::format(Format format, bool raw, bool csvHeader) const
{
    const QString hostShown = shown(host, raw);
    const QString mapShown = shown(map, raw);
    const QString timeShown = time.toUTC().toString(Qt::ISODate);
    if (format == Format::Json) {
        QJsonArray players;
        for (const PlayerRow& row : rows) {
            QJsonObject player;
            for (int column = 0; column < PlayerRow::ColumnCount; ++column) {
                if (column != PlayerRow::Ping) {
                    player.insert(kJsonNames[static_cast<size_t>(column)],
                                  jsonCell(shown(row[column], raw), column));
                }
            }
            const Ping reading = ping(row[PlayerRow::Ping]);
            player.insert(QStringLiteral("ping"), reading.milliseconds
                                                      ? QJsonValue(*reading.milliseconds)
                                                      : QJsonValue(QJsonValue::Null));
            player.insert(QStringLiteral("state"), reading.state);
            players.append(player);
        }
        const QJsonObject object{{QStringLiteral("host"), hostShown},
                                 {QStringLiteral("map"), mapShown},
                                 {QStringLiteral("time"), timeShown},
                                 {QStringLiteral("players"), players}};
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
    }
    if (format == Format::Csv) {
        QString text;
        if (csvHeader) {
            QStringList header;
            for (const QLatin1StringView name : kJsonNames) {
                header.append(name);
            }
            text = header.join(QLatin1Char(',')) + QStringLiteral(",host,map,state,time\n");
        }
        for (const PlayerRow& row : rows) {
            const Ping reading = ping(row[PlayerRow::Ping]);
            QStringList fields;
            for (int column = 0; column < PlayerRow::ColumnCount; ++column) {
                fields.append(column == PlayerRow::Ping
                                  ? (reading.milliseconds ? QString::number(*reading.milliseconds)
                                                          : QString())
                                  : csvField(shown(row[column], raw)));
            }
            fields << csvField(hostShown) << csvField(mapShown) << reading.state << timeShown;
            text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
        }
        return text;
    }
    // Table: columns as wide as their widest cell.
    QList<QStringList> lines;
    QStringList header;
    for (const int column : kTableOrder) {
        header.append(kPlayerColumnHeaders[static_cast<size_t>(column)].toString());
    }
    lines.append(header);
    for (const PlayerRow& row : rows) {
        QStringList cells;
        for (const int column : kTableOrder) {
            cells.append(shown(row[column], raw));
        }
        lines.append(cells);
    }
    QList<qsizetype> widths(PlayerRow::ColumnCount, 0);
    for (const QStringList& cells : lines) {
        for (int column = 0; column < PlayerRow::ColumnCount; ++column) {
            widths[column] = std::max(widths[column], cells[column].size());
        }
    }
    QString text = QStringLiteral("host: %1\nmap: %2\nplayers: %3\n\n")
                       .arg(hostShown, mapShown)
                       .arg(rows.size());
    for (const QStringList& cells : lines) {
        QString line;
        for (int column = 0; column < PlayerRow::ColumnCount; ++column) {
            line += cells[column].leftJustified(widths[column] + 2);
        }
        while (line.endsWith(QLatin1Char(' '))) {
            line.chop(1);
        }
        text += line + QLatin1Char('\n');
    }
    return text;
}

} // namespace garrison::cli
