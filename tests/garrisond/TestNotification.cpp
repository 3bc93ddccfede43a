#include "ModerationCommand.h"
#include "Notification.h"
#include "TestMain.h"
#include "TextRows.h"

#include <QJsonDocument>

using garrisond::ModerationCommand;
using garrisond::Notification;

// What the webhooks are told: the payloads of both formats, and the kicks and bans found among
// the echoed commands.
class TestNotification : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void payloads_data()
    {
        garrison::test::addTextRows(
            {"format", "server", "text", "fields", "payload"},
            {{"discord escapes markdown", "discord", "My_Server",
              "alice/admin kicked *Bob*: [click](x)", "{}",
              R"j({"allowed_mentions":{"parse":[]},"content":"**My\\_Server** alice/admin kicked )j"
              R"j(\\*Bob\\*: \\[click\\](x)"})j"},
             {"discord keeps to one line", "discord", "s", "kicked Bob: one\ntwo", "{}",
              R"j({"allowed_mentions":{"parse":[]},"content":"**s** kicked Bob: one two"})j"},
             {"json carries the fields", "json", "My Server", "alice/admin kicked Bob",
              R"j({"who":"alice/admin","whom":"Bob","temporary":false})j",
              R"j({"event":"kick","server":"My Server","temporary":false,"text":"alice/admin )j"
              R"j(kicked Bob","time":"2024-05-01T04:00:00Z","who":"alice/admin","whom":"Bob"})j"},
             {"fields cannot replace the four", "json", "s", "t",
              R"j({"event":"login","server":"x","restart_in":null})j",
              R"j({"event":"kick","restart_in":null,"server":"s","text":"t",)j"
              R"j("time":"2024-05-01T04:00:00Z"})j"}});
    }
    void payloads()
    {
        QFETCH(QString, format);
        QFETCH(QString, server);
        QFETCH(QString, text);
        QFETCH(QString, fields);
        const Notification notification{
            QStringLiteral("kick"),
            QDateTime(QDate(2024, 5, 1), QTime(6, 0), Qt::OffsetFromUTC, 2 * 3600), text,
            QJsonDocument::fromJson(fields.toUtf8()).object()};
        const QByteArray payload = format == QLatin1String("discord")
                                       ? notification.discordPayload(server)
                                       : notification.jsonPayload(server);
        QTEST(QString::fromUtf8(payload), "payload");
    }
    // Discord refuses content over 2000 characters: the cut keeps an escape whole.
    void discordContentIsCut()
    {
        const Notification notification{QStringLiteral("kick"),
                                        QDateTime::currentDateTimeUtc(),
                                        QString(1990, u'x') + QString(10, u'*'),
                                        {}};
        const QString content = QJsonDocument::fromJson(notification.discordPayload("s"))
                                    .object()
                                    .value(QStringLiteral("content"))
                                    .toString();
        QVERIFY(content.size() <= Notification::kDiscordLimit);
        QVERIFY2(content.endsWith(QStringLiteral("x\\*\u2026")), qPrintable(content.right(9)));
    }
    // "temporary" when it is; whom and why as the webhook shows them; empty: not a kick or ban.
    void moderation_data()
    {
        garrison::test::addTextRows(
            {"command", "found"},
            {{"kick by name", "kick Bob", "kick|Bob|"},
             {"name with blanks, quoted, any case", "KICK \"Bob the ^1Builder\"",
              "kick|Bob the ^1Builder|"},
             {"client kick", "clientkick 3", "kick|slot 3|"},
             {"ban by name", "banuser Bob", "ban|Bob|"},
             {"client ban", "banclient 7", "ban|slot 7|"},
             {"temporary ban", "tempbanUser Bob", "ban|Bob||temporary"},
             {"temporary client ban", "tempbanClient 2", "ban|slot 2||temporary"},
             {"PunkBuster kick with reasons", "pb_sv_kick 4 0 Teamkill Teamkill again",
              "kick|PunkBuster slot 4|Teamkill Teamkill again"},
             {"PunkBuster kick for minutes", "pb_sv_kick 4 10 Camping",
              "kick|PunkBuster slot 4|Camping|temporary"},
             {"PunkBuster ban", "pb_sv_ban 12 0 Aimbot  see demo",
              "ban|PunkBuster slot 12|Aimbot  see demo"},
             {"PunkBuster ban by guid", "pb_sv_banguid 0123abcd \"Bob B\" 10.0.0.7 Wallhack",
              "ban|Bob B (guid 0123abcd)|Wallhack"},
             {"PunkBuster kick of a name", "pb_sv_kick Bob 0 x", ""},
             {"kick without anyone", "kick ", ""},
             {"unban", "unbanuser Bob", ""},
             {"said in chat", "say kick Bob", ""},
             {"longer command word", "kickall", ""}});
    }
    void moderation()
    {
        QFETCH(QString, command);
        const std::optional<ModerationCommand> found = ModerationCommand::parse(command);
        QString shown;
        if (found) {
            shown = QStringList{found->action, found->whom, found->why}.join(u'|') +
                    (found->temporary ? QStringLiteral("|temporary") : QString());
        }
        QTEST(shown, "found");
    }
};

GARRISON_TEST_GUILESS_MAIN(TestNotification)
#include "TestNotification.moc"
