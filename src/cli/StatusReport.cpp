#include "StatusReport.h"

#include "rcon/ReplyRouter.h"
#include "rcon/StatusParser.h"
#include "rcon/TextLines.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

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

// Digits become JSON numbers; "CNCT", "ZMBI", addresses and empty guids stay text.
QJsonValue jsonCell(const QString& text, int column)
{
    static const QRegularExpression number(QStringLiteral("^-?\\d{1,9}$"));
    if (column != PlayerRow::Name && column != PlayerRow::Guid && number.match(text).hasMatch()) {
        return text.toInt();
    }
    return text;
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n'))) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

StatusReport StatusReport::fromReplies(const QString& statusText, const QString& hostText)
{
    const StatusParser::StatusTable table = StatusParser::parse(statusText);
    QString host = ReplyRouter::parseHostName(hostText);
    // Servers that quote the value ("sv_hostname" is:"name^7" default:"...").
    static const QRegularExpression quoted(QStringLiteral("is:\\s*\"([^\"]*)\""));
    if (const QRegularExpressionMatch match = quoted.match(hostText); match.hasMatch()) {
        host = match.captured(1);
    }
    return {host, table.map, table.rows};
}

QString StatusReport::format(Format format, bool raw) const
{
    const QString hostShown = shown(host, raw);
    const QString mapShown = shown(map, raw);
    if (format == Format::Json) {
        QJsonArray players;
        for (const PlayerRow& row : rows) {
            QJsonObject player;
            for (int column = 0; column < PlayerRow::ColumnCount; ++column) {
                player.insert(kJsonNames[static_cast<size_t>(column)],
                              jsonCell(shown(row[column], raw), column));
            }
            players.append(player);
        }
        const QJsonObject object{{QStringLiteral("host"), hostShown},
                                 {QStringLiteral("map"), mapShown},
                                 {QStringLiteral("players"), players}};
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
    }
    if (format == Format::Csv) {
        QStringList header;
        for (const QLatin1StringView name : kJsonNames) {
            header.append(name);
        }
        QString text = header.join(QLatin1Char(',')) + QStringLiteral(",host,map\n");
        for (const PlayerRow& row : rows) {
            QStringList fields;
            for (int column = 0; column < PlayerRow::ColumnCount; ++column) {
                fields.append(csvField(shown(row[column], raw)));
            }
            fields << csvField(hostShown) << csvField(mapShown);
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
