#include "TestMain.h"
#include "TextRows.h"
#include "session/ServerLiveness.h"

using namespace garrison;
using garrison::test::addTextRows;

// Scripts of what happens to a session, one step each: "r" a reply, "s" a command of the user's,
// "a" the automatic refresh, "c" a check, each with its time in ms ("s1000"); "x" a new session.
class TestServerLiveness : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // `changes`: what the replies and checks that changed something said, in order; `deadline`:
    // nextDeadline() at the end, empty for none.
    void followsTheServer_data()
    {
        addTextRows(
            {"script", "changes", "state", "since", "deadline"},
            {{"refresh unanswered", "r0 a1000 c3999 c4000", "down", "NotAnswering", "1000", ""},
             {"one command unanswered", "r0 s1000 c9000", "", "Answering", "0", ""},
             {"two commands in a row", "r0 s1000 s2000 c4000 c5000", "down", "NotAnswering", "1000",
              ""},
             {"second command much later", "r0 s1000 c4000 s60000 c63000", "down", "NotAnswering",
              "1000", ""},
             {"a reply between two commands", "r0 s1000 r1500 s2000 c9000", "", "Answering", "0",
              ""},
             {"late reply before the check", "r0 a1000 r3500 c4000", "", "Answering", "0", ""},
             {"answers again", "r0 a1000 c4000 a5000 c9000 r9500", "down up", "Answering", "1000",
              ""},
             {"silent from the start", "a0 s100 s200 c10000", "", "Unknown", "0", ""},
             {"new session forgets", "r0 a1000 x a2000 c9000", "", "Unknown", "0", ""},
             {"awaits the refresh", "r0 a1000", "", "Answering", "0", "4000"},
             {"awaits the second command", "r0 s1000 s2000 c4000", "", "Answering", "0", "5000"},
             {"a counted command waits for another", "r0 s1000 c4000", "", "Answering", "0", ""},
             {"nothing awaited once down", "r0 a0 c3000 a4000", "down", "NotAnswering", "0", ""}});
    }
    void followsTheServer()
    {
        QFETCH(QString, script);
        QFETCH(QString, changes);
        QFETCH(QString, state);
        QFETCH(QString, since);
        QFETCH(QString, deadline);
        ServerLiveness liveness;
        QStringList said;
        for (const QString& step : script.split(u' ')) {
            const qint64 at = step.mid(1).toLongLong();
            ServerLiveness::Change change = ServerLiveness::Change::None;
            switch (step.at(0).toLatin1()) {
            case 'r':
                change = liveness.replyReceived(at);
                break;
            case 's':
            case 'a':
                liveness.requestSent(at, step.at(0) == u'a');
                break;
            case 'c':
                change = liveness.check(at);
                break;
            case 'x':
                liveness.start();
                break;
            default:
                QFAIL(qPrintable(step));
            }
            if (change == ServerLiveness::Change::StoppedAnswering) {
                said.append(QStringLiteral("down"));
            } else if (change == ServerLiveness::Change::AnsweringAgain) {
                said.append(QStringLiteral("up"));
            }
        }
        QCOMPARE(said.join(u' '), changes);
        const char* states[] = {"Unknown", "Answering", "NotAnswering"};
        QCOMPARE(QString::fromLatin1(states[static_cast<int>(liveness.state())]), state);
        QCOMPARE(QString::number(liveness.silentSince()), since);
        const std::optional<qint64> next = liveness.nextDeadline();
        QCOMPARE(next ? QString::number(*next) : QString(), deadline);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestServerLiveness)
#include "TestServerLiveness.moc"
