#include "BanEnforcer.h"
#include "TestMain.h"
#include "TextRows.h"

using garrisond::BanEnforcer;

// The players of a status reply, which garrisond checks against the bans with their
// addresses; the rest of the enforcement is played end to end in TestSharedBans.
class TestBanEnforcer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parseStatus_data()
    {
        garrison::test::addTextRows(
            {"line", "player"}, // player: slot|guid|name|address, empty for none
            {{"digits",
              "  3     0   48 1234567 Bob^7              0 192.0.2.7:28960      12345 25000",
              "3|1234567|Bob|192.0.2.7:28960"},
             {"hex guid, blanks and colours in the name",
              " 12    -5  999 0123456789abcdef0123456789ABCDEF ^1Big ^2Bad Wolf^7   50 "
              "[2001:db8::5]:28960 -3000 25000",
              "12|0123456789abcdef0123456789ABCDEF|^1Big ^2Bad Wolf|[2001:db8::5]:28960"},
             {"connecting", "  0     0 CNCT 42 Newbie^7           0 198.51.100.3:1 77 5000",
              "0|42|Newbie|198.51.100.3:1"},
             {"header", "num score ping guid       name            lastmsg address  qport rate",
              ""},
             {"cut off by the datagram's end", "  4     0   48 1234567 Eve^7    0 192.0.2.", ""}});
    }
    void parseStatus()
    {
        QFETCH(QString, line);
        QFETCH(QString, player);
        const QList<BanEnforcer::Player> players =
            BanEnforcer::parseStatus(QStringLiteral("map: mp_crash\n") + line + u'\n');
        QCOMPARE(players.size(), player.isEmpty() ? 0 : 1);
        if (!players.isEmpty()) {
            const BanEnforcer::Player& found = players.first();
            QCOMPARE(QStringLiteral("%1|%2|%3|%4")
                         .arg(found.slot)
                         .arg(found.guid, found.name, found.address),
                     player);
        }
    }
};

GARRISON_TEST_GUILESS_MAIN(TestBanEnforcer)
#include "TestBanEnforcer.moc"
