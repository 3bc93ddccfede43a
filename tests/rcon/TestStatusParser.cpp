#include "rcon/RconDatagram.h"
#include "rcon/StatusParser.h"
#include "support/TestMain.h"

#include <QRegularExpression>
#include <QTest>

using namespace garrison;

Q_DECLARE_METATYPE(garrison::PlayerRow)

namespace garrison {
char* toString(const PlayerRow& row)
{
    QStringList cells;
    for (const QString& cell : row.cells) {
        cells.append(QLatin1Char('"') + cell + QLatin1Char('"'));
    }
    return QTest::toString(cells.join(QLatin1Char(' ')));
}
} // namespace garrison

namespace {

struct ServerPlayer {
    int slot = 0;
    int score = 0;
    int ping = 0;
    qint64 guid = 0;
    QString name;
    int lastmsg = 0;
    QString address;
    int qport = 0;
    int rate = 25000;
};

// One player line as the game server prints it: the name is closed with "^7" and padded to 16
// visible characters, colour codes not counting.
QByteArray serverLine(const ServerPlayer& p)
{
    QString visible = p.name;
    visible.remove(QRegularExpression(QStringLiteral("\\^[0-9]")));
    const QString padding(std::max<qsizetype>(0, 16 - visible.size()), QLatin1Char(' '));
    return QStringLiteral("%1 %2 %3 %4 %5^7%6%7 %8%9 %10\n")
        .arg(p.slot, 3)
        .arg(p.score, 5)
        .arg(p.ping, 4)
        .arg(p.guid, 10)
        .arg(p.name, padding)
        .arg(p.lastmsg, 7)
        .arg(p.address, -22)
        .arg(p.qport, 6)
        .arg(p.rate, 5)
        .toLatin1();
}

QByteArray statusDatagram(const QString& map, const QList<ServerPlayer>& players)
{
    QByteArray datagram = QByteArrayLiteral("\xFF\xFF\xFF\xFFprint\n");
    datagram += "map: " + map.toLatin1() + "\n";
    datagram += "num score ping guid       name            lastmsg address               qport  "
                "rate\n";
    datagram += "--- ----- ---- ---------- --------------- ------- --------------------- ------ "
                "-----\n";
    for (const ServerPlayer& player : players) {
        datagram += serverLine(player);
    }
    datagram += "\n";
    return datagram;
}

PlayerRow row(const QString& name, const QString& score, const QString& ping, const QString& guid,
              const QString& slot, const QString& address)
{
    return PlayerRow{{name, score, ping, guid, slot, address}};
}

// What the column header and the dash line leave behind once cut.
const PlayerRow kHeaderRemains = row("", " ", "", "", "   ", "");
const PlayerRow kDashRemains = row("", "   - ", "", "", "   ", "");
const PlayerRow kEmptyRow;

const ServerPlayer kSniper{0, 10, 48, 1234567890, "Sniper", 0, "192.0.2.10:28960", 12345};
const ServerPlayer kNickname{0, 10, 48, 1234567890, "Nickname", 0, "192.0.2.10:28960", 12345};
const ServerPlayer kColoured{3, -2, 999, 42, "^1Red^7Baron", 0, "198.51.100.7:28961", 7};
const ServerPlayer kPirate{11, 1234, 0, 7654321, "pirate", 0, "192.0.2.1:28960", 12345};
const ServerPlayer kSlowLastMessage{5, 0, 30, 77, "Laggy", 5, "192.0.2.30:28960", 4};
const ServerPlayer kBot{17, 0, 0, 0, "bot0", 0, "bot", 0};

const PlayerRow kSniperRow =
    row("Sniper         ", "   10", "  48", "1234567890", "  0", "192.0.2.10:28960");
// "name" and twelve blanks are a piece of the column header: the line closes up behind "Nick".
const PlayerRow kNicknameRow =
    row("Nick    0 192.0", "   10", "  48", "1234567890", "  0", "6      12345 25000");
// Two visible colour codes push everything after the name two characters right.
const PlayerRow kColouredRow =
    row("^1Red^7Baron   ", "   -2", " 999", "        42", "  3", "198.51.100.7:28");
// "rate" is taken out of the name: the rest of the line moves four characters left.
const PlayerRow kPirateRow =
    row("pi             ", " 1234", "   0", "   7654321", " 11", "2.0.2.1:28960");
// The last digit of lastmsg stands in the address column; only a 0 is removed with its blank.
const PlayerRow kSlowLastMessageRow =
    row("Laggy          ", "    0", "  30", "        77", "  5", "5 192.0.2.30:28960");
const PlayerRow kBotRow = row("bot0           ", "    0", "   0", "         0", " 17", "bot");

} // namespace

class TestStatusParser : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanUp_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no players")
            << statusDatagram("mp_castle", {}) << "\r\n     \r\n       -  \r\n";
        QTest::newRow("one player")
            << statusDatagram("mp_airfield", {kSniper})
            << "\r\n     \r\n       -  \r\n  0    10   48 1234567890 Sniper" +
                   QString(18, QLatin1Char(' ')) + "0 192.0.2.10:28960" +
                   QString(7, QLatin1Char(' ')) + "12345 25000\r\n";
        QTest::newRow("map outside the list")
            << statusDatagram("mp_nacht", {}) << "mp_nacht\r\n     \r\n       -  \r\n";
        QTest::newRow("rate and score inside a name")
            << QByteArray("pirate score keeper\n\n\n") << "pi keeper\r\n";
        QTest::newRow("dash runs") << QByteArray(40, '-') + ' ' << "- ";
        QTest::newRow("invalid password")
            << QByteArray("\xFF\xFF\xFF\xFFprint\nInvalid password.\n") << "Invalid password.\r\n";
    }
    void cleanUp()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, expected);
        QCOMPARE(StatusParser::Cleanup(RconDatagram::cleanReply(datagram)), expected);
    }

    void cut_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<PlayerRow>("expected");
        QTest::newRow("fields in their columns")
            << "  0    10   48 1234567890 Nickname^7     " + QString(9, QLatin1Char(' ')) +
                   "192.0.2.10:28960     "
            << row("Nickname^7     ", "   10", "  48", "1234567890", "  0", "192.0.2.10:28960");
        QTest::newRow("address ending in 10 keeps its 0")
            << QString(50, QLatin1Char(' ')) + "  192.0.2.10         "
            << row(QString(15, QLatin1Char(' ')), "     ", "    ", QString(10, QLatin1Char(' ')),
                   "   ", "192.0.2.10");
        QTest::newRow("every inner 0 and blank goes")
            << QString(50, QLatin1Char(' ')) + "10 20 30 x0 0"
            << row(QString(15, QLatin1Char(' ')), "     ", "    ", QString(10, QLatin1Char(' ')),
                   "   ", "123x0");
        QTest::newRow("address cut at 21 characters")
            << QString(50, QLatin1Char(' ')) + "203.0.113.255:2896012345"
            << row(QString(15, QLatin1Char(' ')), "     ", "    ", QString(10, QLatin1Char(' ')),
                   "   ", "203.0.113.255:2896012");
        QTest::newRow("short line") << "  7   1" << row("", "  1", "", "", "  7", "");
        QTest::newRow("line ends inside the name")
            << "  1     0    0         12 Ab"
            << row("Ab", "    0", "   0", "        12", "  1", "");
        QTest::newRow("empty line") << "" << kEmptyRow;
        QTest::newRow("tabs are not trimmed") << QString(50, QLatin1Char(' ')) + "\tx\t"
                                              << row(QString(15, QLatin1Char(' ')), "     ", "    ",
                                                     QString(10, QLatin1Char(' ')), "   ", "\tx\t");
    }
    void cut()
    {
        QFETCH(QString, line);
        QFETCH(PlayerRow, expected);
        QCOMPARE(StatusParser::cut(line), expected);
    }

    void getPlayers_data()
    {
        QTest::addColumn<QByteArrayList>("datagrams");
        QTest::addColumn<QList<PlayerRow>>("rows");
        QTest::addColumn<QString>("playerCount");
        QTest::addColumn<int>("lineCount");

        // Rows 0 and 1 of the grid before the removals are its header and the cleared row;
        // the removals take the header, the emptied map line and the header remains.
        QTest::newRow("no players") << QByteArrayList{statusDatagram("mp_castle", {})}
                                    << QList<PlayerRow>{kDashRemains, kEmptyRow} << "1" << 4;
        QTest::newRow("one player")
            << QByteArrayList{statusDatagram("mp_castle", {kSniper})}
            << QList<PlayerRow>{kDashRemains, kSniperRow, kEmptyRow} << "2" << 5;
        QTest::newRow("several players")
            << QByteArrayList{statusDatagram(
                   "mp_upheaval", {kSniper, kColoured, kPirate, kSlowLastMessage, kBot, kNickname})}
            << QList<PlayerRow>{kDashRemains,        kSniperRow, kColouredRow, kPirateRow,
                                kSlowLastMessageRow, kBotRow,    kNicknameRow, kEmptyRow}
            << "7" << 10;
        QTest::newRow("map outside the list")
            << QByteArrayList{statusDatagram("mp_nacht", {kSniper})}
            << QList<PlayerRow>{kDashRemains, kSniperRow, kEmptyRow} << "2" << 5;
        QTest::newRow("status parsed again with the old reply")
            << QByteArrayList{statusDatagram("mp_castle", {kSniper}),
                              statusDatagram("mp_castle", {kBot})}
            << QList<PlayerRow>{kDashRemains, kSniperRow, kHeaderRemains,
                                kDashRemains, kBotRow,    kEmptyRow}
            << "5" << 8;
        QTest::newRow("reply in two datagrams")
            << QByteArrayList{statusDatagram("mp_castle", {kSniper}).chopped(1) +
                                  serverLine(kBot).left(30),
                              serverLine(kBot).mid(30) + "\n"}
            << QList<PlayerRow>{kDashRemains, kSniperRow, kBotRow, kEmptyRow} << "3" << 6;
        // The grid keeps one row below its header, so the count never drops below 0.
        QTest::newRow("invalid password")
            << QByteArrayList{"\xFF\xFF\xFF\xFFprint\nInvalid password.\n"}
            << QList<PlayerRow>{kEmptyRow} << "0" << 2;
        QTest::newRow("nothing received")
            << QByteArrayList{} << QList<PlayerRow>{kEmptyRow} << "0" << 1;
        QTest::newRow("one line") << QByteArrayList{"abc"}
                                  << QList<PlayerRow>{row("", "", "", "", "abc", "")} << "0" << 1;
    }
    void getPlayers()
    {
        QFETCH(QByteArrayList, datagrams);
        QFETCH(QList<PlayerRow>, rows);
        QFETCH(QString, playerCount);
        QFETCH(int, lineCount);
        QString accumulated;
        for (const QByteArray& datagram : datagrams) {
            accumulated += RconDatagram::cleanReply(datagram);
        }
        const StatusParser::GridFill fill = StatusParser::GetPlayers(accumulated);
        QCOMPARE(fill.rows.size(), rows.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QCOMPARE(fill.rows.at(i), rows.at(i));
        }
        QCOMPARE(fill.playerCountText, playerCount);
        QCOMPARE(fill.lineCount, lineCount);
    }

    void lineCounterLimit()
    {
        QStringList lines;
        for (int i = 1; i <= 40000; ++i) {
            lines.append(QString::number(i));
        }
        const StatusParser::GridFill fill = StatusParser::FillGrid(lines.join("\r\n"));
        QCOMPARE(fill.lineCount, 40000);
        // 32767 cut lines and the cleared row, less the three removals that take effect.
        QCOMPARE(fill.rows.size(), StatusParser::kMaxLineNumber - 2);
        QCOMPARE(fill.playerCountText, QString::number(StatusParser::kMaxLineNumber - 3));
        QCOMPARE(fill.rows.constLast()[PlayerRow::Slot], "327");
        QCOMPARE(fill.rows.constLast()[PlayerRow::Score], "7");
    }
};

GARRISON_TEST_GUILESS_MAIN(TestStatusParser)
#include "TestStatusParser.moc"
