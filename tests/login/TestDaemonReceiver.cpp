#include "TestMain.h"
#include "TextRows.h"
#include "login/DaemonReceiver.h"

using namespace garrison;
using garrison::test::addTextRows;

class TestDaemonReceiver : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Flags before ("rcon log", "-" unset), message, what it is taken as, its text, flags after.
    void rulesApplyInOrder_data()
    {
        addTextRows(
            {"before", "message", "kind", "text", "after"},
            {{"password, even when it reads admin", "1 1", "admin", "RconPassword", "admin", "0 1"},
             {"armed log takes a level word", "0 1", "admin", "Log", "admin", "0 0"},
             {"level answer", "- -", "poweradmin", "LevelAnswer", "poweradmin", "1 -"},
             {"mp", "0 0", "mp", "LevelAnswer", "mp", "1 0"},
             {"level word with a line end", "0 0", "admin\r\n", "Other", "admin\r\n", "0 0"},
             {"level word with a blank", "- -", " mp", "Other", " mp", "- -"},
             {"level word in capitals", "- -", "Admin", "Other", "Admin", "- -"},
             {"part of a level word", "- -", "power", "Other", "power", "- -"},
             {"ADDUSER with blank", "- -", "ADDUSER carol was added", "Notice", "carol was added",
              "- -"},
             {"ADDUSER without blank", "- -", "ADDUSERcarol", "Notice", "ADDUSERcarol", "- -"},
             {"every ADDUSER-blank goes", "- -", "ADDUSER a, ADDUSER b", "Notice", "a, b", "- -"},
             {"CHANGERCON", "- -", "CHANGERCON the password changed", "Notice",
              "the password changed", "- -"},
             {"refusal", "- -", "DENIED Wrong user name", "Refusal", "Wrong user name", "- -"},
             {"server state", "- -", "SERVERSTATE\nstate=running", "ServerState",
              "SERVERSTATE\nstate=running", "- -"},
             {"server state before the armed log", "0 1", "SERVERSTATE\nstate=running",
              "ServerState", "SERVERSTATE\nstate=running", "0 1"},
             {"SERVERSTATE within a word", "- -", "SERVERSTATES", "Other", "SERVERSTATES", "- -"},
             {"server address", "- -", "SERVERADDRESS\naddress=\nport=28960", "ServerAddress",
              "SERVERADDRESS\naddress=\nport=28960", "- -"},
             {"server address as the password", "1 -", "SERVERADDRESS\nport=1", "RconPassword",
              "SERVERADDRESS\nport=1", "0 -"},
             {"armed log takes a server address", "0 1", "SERVERADDRESS", "Log", "SERVERADDRESS",
              "0 0"},
             {"SERVERADDRESS within a word", "- -", "SERVERADDRESSES", "Other", "SERVERADDRESSES",
              "- -"},
             {"empty flag is off", "- -", "x", "Other", "x", "- -"}});
    }
    void rulesApplyInOrder()
    {
        QFETCH(QString, before);
        QFETCH(QString, message);
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QString, after);
        DaemonReceiver receiver;
        receiver.RconPassPending = before.section(' ', 0, 0).remove('-');
        receiver.LogPending = before.section(' ', 1, 1).remove('-');
        const DaemonReceiver::Taken taken = receiver.take(message);
        const QStringList kinds{"RconPassword", "Log",         "LevelAnswer",   "Notice",
                                "Refusal",      "ServerState", "ServerAddress", "Other"};
        QCOMPARE(kinds.value(int(taken.kind)), kind);
        QCOMPARE(taken.text, text);
        QCOMPARE((receiver.RconPassPending.isEmpty() ? "-" : receiver.RconPassPending) + ' ' +
                     (receiver.LogPending.isEmpty() ? "-" : receiver.LogPending),
                 after);
    }
    // Receive events, "|" between them: the event lines taken off, and what each left as a
    // message ("|" between them too).
    // The daemon's one blank more before a log line that begins like a message of the daemon
    // is taken off; every other line is shown as it came.
    void unescapesTheLog_data()
    {
        addTextRows({"sent", "log"},
                    {{"event line", "a\r\n EVENT alert\r\nb", "a\r\nEVENT alert\r\nb"},
                     {"state report first", " SERVERSTATE\r\nstate=up", "SERVERSTATE\r\nstate=up"},
                     {"an indented one keeps its own blanks", "   DENIED x\n", "  DENIED x\n"},
                     {"level word", " admin", "admin"},
                     {"ordinary indented lines", "  0:00 InitGame\r\n", "  0:00 InitGame\r\n"},
                     {"unescaped as it came", "EVENT x\r\n0:00 mp", "EVENT x\r\n0:00 mp"}});
    }
    void unescapesTheLog()
    {
        QFETCH(QString, sent);
        QTEST(DaemonReceiver::unescapeLog(sent), "log");
    }
    // garrisond's header before a log: its size and the length that follows, or "-" for a
    // bare log.
    void readsTheLogHeader_data()
    {
        addTextRows({"message", "header"}, {{"header and log", "LOG 12\r\n0:00 InitGame", "8 12"},
                                            {"empty log", "LOG 0\r\n", "7 0"},
                                            {"bare log", "0:00 LOG 12\r\n", "-"},
                                            {"no length", "LOG \r\nx", "-"},
                                            {"no line end yet", "LOG 12", "-"},
                                            {"a word for a length", "LOG twelve\r\n", "-"},
                                            {"a sign", "LOG -1\r\n", "-"},
                                            {"other digits", "LOG \u0661\u0662\r\n", "-"},
                                            {"longer than any log", "LOG 1234567890123\r\n", "-"}});
    }
    void readsTheLogHeader()
    {
        QFETCH(QString, message);
        const auto header = DaemonReceiver::logHeader(message);
        QTEST(header ? QStringLiteral("%1 %2").arg(header->headerSize).arg(header->length)
                     : QStringLiteral("-"),
              "header");
    }
    void eventLinesComeOffTheFront_data()
    {
        addTextRows({"received", "events", "rests"},
                    {{"event before an answer", "EVENT chat\ttext=hi\nADDUSER carol",
                      "EVENT chat\ttext=hi", "ADDUSER carol"},
                     {"line cut in two", "EVENT ch|at\tx=1\nEVENT join\n",
                      "EVENT chat\tx=1,EVENT join", "|"},
                     {"prefix cut after an event", "EVENT a\nEVE|NT b\n", "EVENT a,EVENT b", "|"},
                     {"a short message is no prefix", "EV", "", "EV"},
                     {"event word inside a message", "admin EVENT x\n", "", "admin EVENT x\n"}});
    }
    void eventLinesComeOffTheFront()
    {
        QFETCH(QString, received);
        DaemonReceiver receiver;
        QStringList events;
        QStringList rests;
        for (const QString& piece : received.split(u'|')) {
            const DaemonReceiver::Split split = receiver.takeEventLines(piece);
            events += split.eventLines;
            rests += split.rest;
        }
        QTEST(events.join(u','), "events");
        QTEST(rests.join(u'|'), "rests");
    }
};

GARRISON_TEST_GUILESS_MAIN(TestDaemonReceiver)
#include "TestDaemonReceiver.moc"
