#include "TestMain.h"
#include "login/DaemonReceiver.h"

using namespace garrison;
using Kind = DaemonReceiver::Kind;

Q_DECLARE_METATYPE(DaemonReceiver::Kind)

class TestDaemonReceiver : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rulesApplyInOrder_data()
    {
        QTest::addColumn<QString>("rconPending");
        QTest::addColumn<QString>("logPending");
        QTest::addColumn<QString>("message");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("rconPendingAfter");
        QTest::addColumn<QString>("logPendingAfter");
        // Flags before, message, what it is taken as, its text, flags after ("" = unset).
        const auto row = [](const char* name, const char* rcon, const char* log,
                            const char* message, Kind kind, const char* text, const char* rconAfter,
                            const char* logAfter) {
            QTest::newRow(name) << rcon << log << message << kind << text << rconAfter << logAfter;
        };
        row("password, even when it reads admin", "1", "1", "admin", Kind::RconPassword, "admin",
            "0", "1");
        row("armed log takes a level word", "0", "1", "admin", Kind::Log, "admin", "0", "0");
        row("level answer", "", "", "poweradmin", Kind::LevelAnswer, "poweradmin", "1", "");
        row("mp", "0", "0", "mp", Kind::LevelAnswer, "mp", "1", "0");
        row("level word with a line end", "0", "0", "admin\r\n", Kind::Other, "admin\r\n", "0",
            "0");
        row("level word with a blank", "", "", " mp", Kind::Other, " mp", "", "");
        row("level word in capitals", "", "", "Admin", Kind::Other, "Admin", "", "");
        row("part of a level word", "", "", "power", Kind::Other, "power", "", "");
        row("ADDUSER with blank", "", "", "ADDUSER carol was added", Kind::Notice,
            "carol was added", "", "");
        row("ADDUSER without blank", "", "", "ADDUSERcarol", Kind::Notice, "ADDUSERcarol", "", "");
        row("every ADDUSER-blank goes", "", "", "ADDUSER a, ADDUSER b", Kind::Notice, "a, b", "",
            "");
        row("CHANGERCON", "", "", "CHANGERCON the password changed", Kind::Notice,
            "the password changed", "", "");
        row("refusal", "", "", "DENIED Wrong user name", Kind::Other, "DENIED Wrong user name", "",
            "");
        row("empty flag is off", "", "", "x", Kind::Other, "x", "", "");
    }
    void rulesApplyInOrder()
    {
        QFETCH(QString, rconPending);
        QFETCH(QString, logPending);
        QFETCH(QString, message);
        QFETCH(Kind, kind);
        QFETCH(QString, text);
        QFETCH(QString, rconPendingAfter);
        QFETCH(QString, logPendingAfter);
        DaemonReceiver receiver;
        receiver.RconPassPending = rconPending;
        receiver.LogPending = logPending;
        const DaemonReceiver::Taken taken = receiver.take(message);
        QCOMPARE(taken.kind, kind);
        QCOMPARE(taken.text, text);
        QCOMPARE(receiver.RconPassPending, rconPendingAfter);
        QCOMPARE(receiver.LogPending, logPendingAfter);
    }

    void aLaterLevelWordRunsTheHandOffAgain()
    {
        DaemonReceiver receiver;
        QCOMPARE(receiver.take(QStringLiteral("admin")).kind, Kind::LevelAnswer);
        QCOMPARE(receiver.take(QStringLiteral("secret")).kind, Kind::RconPassword);
        QCOMPARE(receiver.take(QStringLiteral("admin")).kind, Kind::LevelAnswer);
        QCOMPARE(receiver.RconPassPending, QStringLiteral("1"));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestDaemonReceiver)
#include "TestDaemonReceiver.moc"
