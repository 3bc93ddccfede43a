#include "ConnectionAdmission.h"
#include "TestMain.h"
#include "TextRows.h"

using garrison::test::addTextRows;
using garrisond::ConnectionAdmission;

// Churn from many addresses must not close a client in the midst of its handshake and login.
class TestConnectionAdmission : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Waiting connections, oldest first, "address:seconds" with "h" when heard and "c" while
    // the password is checked; the newcomer's address; the limits "total per-address"; the
    // answer: "refused", "admitted", or the waiting connection that is closed for it.
    void decide_data()
    {
        addTextRows(
            {"waiting", "newcomer", "limits", "decision"},
            {{"room left", "a:9 b:8", "c", "3 2", "admitted"},
             {"an address at its limit", "a:9 a:8 b:1", "a", "9 2", "refused"},
             {"the busiest address gives up its oldest", "a:9h b:8h b:7h c:1h", "d", "4 4", "1"},
             {"a churning address replaces its own", "a:9h b:8h c:1h", "c", "3 4", "2"},
             {"an older first stays for a newcomer's second", "a:20h b:8 b:7", "a", "3 4", "1"},
             {"one each: the oldest silent goes, not one that spoke", "a:3h b:2 c:1", "d", "3 4",
              "1"},
             {"one each, all spoke: one past the login window goes", "a:3h b:6h c:9h", "d", "3 4",
              "2"},
             {"one each, all spoke within the window: refused", "a:3h b:2h c:1h", "d", "3 4",
              "refused"},
             {"a password being checked never goes", "a:9c b:8hc", "c", "2 4", "refused"},
             {"connections being checked stay, the others go", "a:9c a:8c b:7 b:6", "c", "4 4",
              "2"}});
    }
    void decide()
    {
        QFETCH(QString, waiting);
        QFETCH(QString, newcomer);
        QFETCH(QString, limits);
        QList<ConnectionAdmission::Waiting> connections;
        for (const QString& connection : waiting.split(u' ')) {
            const QStringList fields = connection.split(u':');
            const QString& flags = fields.at(1);
            const qint64 seconds = QString(flags).remove(u'h').remove(u'c').toLongLong();
            connections.append(
                {fields.at(0), seconds * 1000, flags.contains(u'h'), flags.contains(u'c')});
        }
        const QStringList numbers = limits.split(u' ');
        const ConnectionAdmission::Decision decision = ConnectionAdmission::decide(
            connections, newcomer, {numbers.at(0).toInt(), numbers.at(1).toInt()});
        const QString shown = !decision.admitted     ? QStringLiteral("refused")
                              : decision.closing < 0 ? QStringLiteral("admitted")
                                                     : QString::number(decision.closing);
        QTEST(shown, "decision");
    }
    // IPv6 clients may use every address of their network.
    void addressKey_data()
    {
        addTextRows({"address", "bits", "key"},
                    {{"IPv4 as it is", "203.0.113.7", "56", "203.0.113.7"},
                     {"IPv6 by /56", "2001:db8:1:2ff:1:2:3:4", "56", "2001:db8:1:200::/56"},
                     {"IPv6 by /64", "2001:db8:1:2ff:1:2:3:4", "64", "2001:db8:1:2ff::/64"},
                     {"a prefix inside a byte", "2001:db8:1:2ff::", "60", "2001:db8:1:2f0::/60"},
                     {"IPv6 whole", "2001:db8::1", "128", "2001:db8::1/128"}});
    }
    void addressKey()
    {
        QFETCH(QString, address);
        QFETCH(QString, bits);
        QTEST(ConnectionAdmission::addressKey(address, bits.toInt()), "key");
    }
};

GARRISON_TEST_GUILESS_MAIN(TestConnectionAdmission)
#include "TestConnectionAdmission.moc"
