#include "QueryReport.h"

#include "cli/TerminalText.h"
#include "platform/CsvText.h"
#include "rcon/TextLines.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace garrison::cli {

namespace {

QString shown(const QString& text, bool raw)
{
    return raw ? text : StripColourCodes(text);
}

QString numberOrEmpty(int value)
{
    return value < 0 ? QString() : QString::number(value);
}

QJsonValue numberOrNull(int value)
{
    return value < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(value);
}

QString json(const QueriedServer& server, bool raw)
{
    QJsonArray players;
    for (const QueryPlayer& player : server.players) {
        players.append(QJsonObject{{QStringLiteral("name"), shown(player.name, raw)},
                                   {QStringLiteral("score"), player.score},
                                   {QStringLiteral("ping"), player.ping}});
    }
    const QJsonObject object{{QStringLiteral("host"), shown(server.hostName, raw)},
                             {QStringLiteral("map"), shown(server.map, raw)},
                             {QStringLiteral("gametype"), shown(server.gameType, raw)},
                             {QStringLiteral("clients"), numberOrNull(server.clients)},
                             {QStringLiteral("max_clients"), numberOrNull(server.maxClients)},
                             {QStringLiteral("password_needed"), server.passwordNeeded},
                             {QStringLiteral("ping_ms"), numberOrNull(server.pingMs)},
                             {QStringLiteral("players"), server.playersKnown
                                                             ? QJsonValue(players)
                                                             : QJsonValue(QJsonValue::Null)}};
    return TerminalText::json(
        QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
}

QString csv(const QueriedServer& server, bool raw)
{
    const auto field = [raw](const QString& text) {
        return CsvText::field(TerminalText::field(shown(text, raw)));
    };
    const QString serverFields =
        QStringList{field(server.hostName),
                    field(server.map),
                    field(server.gameType),
                    numberOrEmpty(server.clients),
                    numberOrEmpty(server.maxClients),
                    server.passwordNeeded ? QStringLiteral("true") : QStringLiteral("false"),
                    numberOrEmpty(server.pingMs)}
            .join(QLatin1Char(','));
    QString text = QStringLiteral(
        "name,score,ping,host,map,gametype,clients,max_clients,password_needed,ping_ms\n");
    for (const QueryPlayer& player : server.players) {
        text += QStringLiteral("%1,%2,%3,%4\n")
                    .arg(field(player.name))
                    .arg(player.score)
                    .arg(player.ping)
                    .arg(serverFields);
    }
    return text;
}

QString table(const QueriedServer& server, bool raw)
{
    const auto text = [raw](const QString& value) {
        return TerminalText::field(shown(value, raw));
    };
    const QString unknown = QStringLiteral("?");
    QString out =
        QStringLiteral("host: %1\nmap: %2\ngametype: %3\nplayers: %4/%5\npassword: %6\n"
                       "ping: %7 ms\n")
            .arg(text(server.hostName), text(server.map), text(server.gameType),
                 server.clients < 0 ? unknown : QString::number(server.clients),
                 server.maxClients < 0 ? unknown : QString::number(server.maxClients),
                 server.passwordNeeded ? QStringLiteral("needed") : QStringLiteral("none"))
            .arg(server.pingMs);
    if (server.players.isEmpty()) {
        return out;
    }
    QList<QStringList> rows = {
        {QStringLiteral("Name"), QStringLiteral("Score"), QStringLiteral("Ping")}};
    for (const QueryPlayer& player : server.players) {
        rows.append(
            {text(player.name), QString::number(player.score), QString::number(player.ping)});
    }
    QList<qsizetype> widths(3, 0);
    for (const QStringList& row : rows) {
        for (int column = 0; column < 3; ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    out += QLatin1Char('\n');
    for (const QStringList& row : rows) {
        QString line;
        for (int column = 0; column < 3; ++column) {
            line += row[column].leftJustified(widths[column] + 2);
        }
        while (line.endsWith(QLatin1Char(' '))) {
            line.chop(1);
        }
        out += line + QLatin1Char('\n');
    }
    return out;
}

} // namespace

QString formatQuery(const QueriedServer& server, Format format, bool raw)
{
    switch (format) {
    case Format::Json:
        return json(server, raw);
    case Format::Csv:
        return csv(server, raw);
    case Format::Table:
        break;
    }
    return table(server, raw);
}

} // namespace garrison::cli
