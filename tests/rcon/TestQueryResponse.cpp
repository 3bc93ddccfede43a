#include "rcon/InfoString.h"
#include "rcon/QueryResponse.h"
#include "support/TestMain.h"
#include "support/TextRows.h"

#include <QTest>

using namespace garrison;

namespace {

// "key=value|key=value"
QString joined(const InfoString& info)
{
    QStringList pairs;
    for (const auto& [key, value] : info.pairs()) {
        pairs.append(key + u'=' + value);
    }
    return pairs.join(u'|');
}

// "kind;challenge;variables without the challenge;name/score/ping|…", or "none".
QString summary(const std::optional<QueryResponse>& response)
{
    if (!response) {
        return QStringLiteral("none");
    }
    QStringList players;
    for (const QueryPlayer& player : response->players) {
        players.append(
            QStringLiteral("%1/%2/%3").arg(player.name).arg(player.score).arg(player.ping));
    }
    return QStringList{response->kind == QueryResponse::Kind::Info ? QStringLiteral("info")
                                                                   : QStringLiteral("status"),
                       response->challenge(), joined(response->variables.without(u"challenge")),
                       players.join(u'|')}
        .join(u';');
}

const QByteArray kMarker = QByteArrayLiteral("\xFF\xFF\xFF\xFF");

} // namespace

class TestQueryResponse : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void infoString_data()
    {
        test::addTextRows({"text", "pairs"},
                          {{"plain", "\\a\\1\\b\\2", "a=1|b=2"},
                           {"no leading backslash", "a\\1\\b\\2", "a=1|b=2"},
                           {"key without a value at the end", "\\a\\1\\b", "a=1|b="},
                           {"empty value", "\\a\\\\b\\2", "a=|b=2"},
                           {"trailing backslash", "\\a\\1\\", "a=1"},
                           {"empty key is dropped", "\\\\x\\a\\1", "a=1"},
                           {"ends at the line end", "\\a\\1\nb\\2", "a=1"},
                           {"ends at CR LF", "\\a\\1\r\n", "a=1"},
                           {"a CR alone is text", "\\a\\1\r", "a=1\r"},
                           {"blanks and colour codes stay", "\\hostname\\ ^1My ^7Server ",
                            "hostname= ^1My ^7Server "},
                           {"empty", "", ""},
                           {"only a backslash", "\\", ""}});
    }
    void infoString()
    {
        QFETCH(QString, text);
        QFETCH(QString, pairs);
        QCOMPARE(joined(InfoString::parse(text)), pairs);
    }

    // Keys are found whatever their case, the first of two equal keys wins, and numbers are read
    // as the game reads them.
    void lookups_data()
    {
        test::addTextRows(
            {"text", "key", "value", "number"},
            {{"other case", "\\MapName\\mp_dome", "mapname", "mp_dome", "-"},
             {"first of two", "\\clients\\3\\Clients\\9", "CLIENTS", "3", "3"},
             {"missing", "\\a\\1", "b", "", "-"},
             {"leading number", "\\sv_maxclients\\18 slots", "sv_maxclients", "18 slots", "18"},
             {"negative", "\\score\\-7", "score", "-7", "-7"},
             {"no number", "\\gametype\\tdm", "gametype", "tdm", "-"}});
    }
    void lookups()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, number);
        const InfoString info = InfoString::parse(text);
        QCOMPARE(info.value(key), value);
        const std::optional<int> read = info.number(key);
        QCOMPARE(read ? QString::number(*read) : QStringLiteral("-"), number);
    }

    void responses_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("expected");
        QTest::newRow("info") << kMarker +
                                     "infoResponse\n\\challenge\\c1\\hostname\\Host\\clients\\2"
                              << "info;c1;hostname=Host|clients=2;";
        QTest::newRow("status with players")
            << kMarker + "statusResponse\n\\sv_hostname\\Host\\challenge\\c2\n"
                         "10 48 \"^1Red^7Baron\"\n-3 999 \"Sgt Pepper\"\n0 0 \"bot0\"\n"
            << "status;c2;sv_hostname=Host;^1Red^7Baron/10/48|Sgt Pepper/-3/999|bot0/0/0";
        QTest::newRow("status of an empty server")
            << kMarker + "statusResponse\n\\challenge\\c3\\mapname\\mp_dome\n"
            << "status;c3;mapname=mp_dome;";
        QTest::newRow("quote inside a name, line ends CR LF")
            << kMarker + "statusResponse\r\n\\challenge\\c4\r\n5 40 \"The \"Doc\"\"\r\n"
            << "status;c4;;The \"Doc\"/5/40";
        QTest::newRow("name without quotes")
            << kMarker + "statusResponse\n\\challenge\\c5\n1 2 plain name\n"
            << "status;c5;;plain name/1/2";
        QTest::newRow("lines that are no player are skipped")
            << kMarker + "statusResponse\n\\challenge\\c6\nx 1 \"a\"\n1 \"b\"\n1x 2 \"c\"\n"
                         "99999999999 1 \"d\"\n7 8 \"ok\"\n"
            << "status;c6;;ok/7/8";
        QTest::newRow("Windows-1252 letters")
            << kMarker + "statusResponse\n\\sv_hostname\\Caf\xE9 \x80\\challenge\\c7\n"
                         "1 2 \"J\xF6rg\"\n"
            << QStringLiteral("status;c7;sv_hostname=Café €;Jörg/1/2");
        QTest::newRow("word in another case") << kMarker + "INFORESPONSE\n\\challenge\\c8"
                                              << "info;c8;;";
        QTest::newRow("without the marker")
            << QByteArray("infoResponse\n\\challenge\\c9") << "none";
        QTest::newRow("three 0xFF only") << QByteArray("\xFF\xFF\xFFinfoResponse\n") << "none";
        QTest::newRow("a reply to rcon") << kMarker + "print\nmap: mp_castle\n"
                                         << "none";
        QTest::newRow("word without a line break") << kMarker + "infoResponse"
                                                   << "none";
        QTest::newRow("empty") << QByteArray() << "none";
        const QByteArray head = kMarker + "infoResponse\n\\challenge\\big\\pad\\";
        QTest::newRow("largest a server sends")
            << head + QByteArray(QueryResponse::kMaxDatagram - head.size(), 'x')
            << "info;big;pad=" + QString(QueryResponse::kMaxDatagram - head.size(), u'x') + ";";
        QTest::newRow("one byte more")
            << head + QByteArray(QueryResponse::kMaxDatagram - head.size() + 1, 'x') << "none";
    }
    void responses()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, expected);
        QCOMPARE(summary(QueryResponse::parse(datagram)), expected);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestQueryResponse)
#include "TestQueryResponse.moc"
