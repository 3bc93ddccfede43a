#include "DaemonConfig.h"
#include "GameEvents.h"
#include "GameServerControl.h"
#include "OperatorNotices.h"
#include "TestMain.h"
#include "TextRows.h"

using namespace garrisond;

class TestOperatorNotices : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Refused logins, "seconds address": one notification per address (an IPv6 network) a
    // minute, however many guesses it makes.
    void refusalsOncePerMinutePerAddress_data()
    {
        garrison::test::addTextRows(
            {"refusals", "notified"},
            {{"one address, within the minute", "0 192.0.2.1|30 192.0.2.1|59 192.0.2.1", "1"},
             {"one address, a minute later", "0 192.0.2.1|60 192.0.2.1", "2"},
             {"two addresses", "0 192.0.2.1|1 192.0.2.2", "2"},
             {"one IPv6 /56", "0 2001:db8:1:200::1|1 2001:db8:1:2ff::9", "1"},
             {"two IPv6 /56", "0 2001:db8:1:200::1|1 2001:db8:1:300::1", "2"}});
    }
    void refusalsOncePerMinutePerAddress()
    {
        QFETCH(QString, refusals);
        const QDateTime start = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        QDateTime now = start;
        GameServerControl game;
        GameEvents events;
        OperatorNotices notices(game, events, [&now] { return now; });
        DaemonConfig config;
        // Nobody listens there: every post waits for its next try, and counts as waiting.
        config.webhookUrl = QUrl(QStringLiteral("http://127.0.0.1:9/hook"));
        notices.configure(config);
        for (const QString& refusal : refusals.split(u'|')) {
            now = start.addSecs(refusal.section(u' ', 0, 0).toInt());
            notices.notifyRefusal(refusal.section(u' ', 1), QStringLiteral("root/admin"),
                                  QStringLiteral("refused"));
        }
        QTEST(QString::number(notices.webhook().waiting()), "notified");
    }
};

GARRISON_TEST_GUILESS_MAIN(TestOperatorNotices)
#include "TestOperatorNotices.moc"
