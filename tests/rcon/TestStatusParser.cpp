#include "rcon/RconDatagram.h"
#include "rcon/StatusParser.h"
#include "support/TestMain.h"
#include "support/TextRows.h"

#include <QTest>

using namespace garrison;

namespace {

// "name|score|ping|guid|slot|address", or empty for no row.
QString joined(const std::optional<PlayerRow>& row)
{
    return row ? QStringList(row->cells.begin(), row->cells.end()).join(u'|') : QString();
}

const QByteArray kGuidHeader =
    "map: mp_castle\n"
    "num score ping guid       name            lastmsg address               qport  rate\n"
    "--- ----- ---- ---------- --------------- ------- --------------------- ------ -----\n";

// What an ioquake3 1.36 dedicated server running OpenArena 0.8.8 answered, byte for byte.
const QByteArray kShortHeader =
    "map: oa_dm1\n"
    "cl score ping name            address                                 rate \n"
    "-- ----- ---- --------------- --------------------------------------- -----\n";

// A player line the way a guid server prints it: the name, a colour reset, padding to 16
// visible characters, and the address padded to 22.
QByteArray guidLine(int slot, const QString& name, int visible, const QString& address)
{
    return QStringLiteral("%1 %2 %3 %4 %5^7%6%7 %8%9 %10\n")
        .arg(slot, 3)
        .arg(slot * 10, 5)
        .arg(40 + slot, 4)
        .arg(1000000000 + slot, 10)
        .arg(name, QString(std::max(16 - visible, 1), u' '))
        .arg(slot * 37, 7)
        .arg(address, -22)
        .arg(slot * 1111, 6)
        .arg(25000, 5)
        .toLatin1();
}

QString received(const QByteArray& text)
{
    return RconDatagram::cleanReply("\xFF\xFF\xFF\xFFprint\n" + text);
}

// Lines as reception leaves them ("^7 " after a name has become three blanks), each followed
// by "case -> row", the row empty when the line is no player's.
const char* const kPlayerLines = R"(
  0    10   48 1234567890 Sniper              0 192.0.2.10:28960      12345 25000
plain -> Sniper|10|48|1234567890|0|192.0.2.10:28960
 12     0   71  987654321 Lagger            353 203.0.113.74:28960     4711 25000
lastmsg in the hundreds keeps the whole port -> Lagger|0|71|987654321|12|203.0.113.74:28960
  3    -2  999         42 ^1Red^7Baron         0 198.51.100.7:28961       7 25000
coloured name keeps its codes -> ^1Red^7Baron|-2|999|42|3|198.51.100.7:28961
 11  1234    0    7654321 pirate              12 192.0.2.1:28960      12345 25000
name holding rate -> pirate|1234|0|7654321|11|192.0.2.1:28960
  4     5   60      31337 Nickname            40 192.0.2.4:28960        222 20000
name holding name and a long pad -> Nickname|5|60|31337|4|192.0.2.4:28960
  6     0   33        123 "Sgt" Pépé’s €     7 192.0.2.6:28960         66  5000
blanks, quotes and Windows-1252 letters -> "Sgt" Pépé’s €|0|33|123|6|192.0.2.6:28960
  2     1   50        777 1 2.3.4.5:6 7 8      9 192.0.2.2:28960          2 25000
name that looks like a line's end -> 1 2.3.4.5:6 7 8|1|50|777|2|192.0.2.2:28960
 63    99  120 1000000063 ^1F^2i^3f^4t^5e^6e^7n_chars_x^2Q   0 192.0.2.63:28960        63 25000
coloured letter by letter -> ^1F^2i^3f^4t^5e^6e^7n_chars_x^2Q|99|120|1000000063|63|192.0.2.63:28960
 17     0    0          0 bot0                0 bot                        0  5000
bot -> bot0|0|0|0|17|bot
  0     0    0          0 Host                0 loopback              12345 25000
listen server host -> Host|0|0|0|0|loopback
  4     0 CNCT 1640001234 NewRecruit       1500 192.0.2.44:28960       -300 25000
connecting -> NewRecruit|0|CNCT|1640001234|4|192.0.2.44:28960
  9     7 ZMBI 1640005678 Gone              1200 192.0.2.9:28960         99 25000
leaving -> Gone|7|ZMBI|1640005678|9|192.0.2.9:28960
  5     0   30         77 Laggy               5 192.0.2.30:-25536    -1234 25000
port kept in a signed short -> Laggy|0|30|77|5|192.0.2.30:40000
  1     0   30         77 Nick^7          0 192.0.2.30:28960         4 25000
text that skipped reception keeps no reset -> Nick|0|30|77|1|192.0.2.30:28960
  2    10   75 0123456789abcdef0123456789abcdef Sgt Pepper             15 203.0.113.104:28960    12718  5000
hex guid -> Sgt Pepper|10|75|0123456789abcdef0123456789abcdef|2|203.0.113.104:28960
  5     0   50 ABCDEF0123456789ABCDEF0123456789 Dead Beef               3 192.0.2.5:28960        -4242 25000
hex guid in capitals -> Dead Beef|0|50|ABCDEF0123456789ABCDEF0123456789|5|192.0.2.5:28960
  4     0 CNCT            NewRecruit              0 192.0.2.100:28960     -10829 25000
empty guid -> NewRecruit|0|CNCT||4|192.0.2.100:28960
  8     0   60  1337                   12 192.0.2.8:28960          808 25000
empty guid before a name that is a number -> 1337|0|60||8|192.0.2.8:28960
  6     0   92  509026796 Gluey                  56 198.51.100.7:-10803-23569 25000
negative port glued to negative qport -> Gluey|0|92|509026796|6|198.51.100.7:54733
 10     0   88         77 Widest                  1 203.113.100.207:-3276812345 25000
address filling its column glued to a qport -> Widest|0|88|77|10|203.113.100.207:32768
  7     0   47 1363774835 Colonless              15 198.51.100.6328960     12718  5000
colon lost -> Colonless|0|47|1363774835|7|198.51.100.63:28960
  1     0   47 1363774835 Shortest               15 198.51.100.12345       12718  5000
colon lost takes the longest dotted quad -> Shortest|0|47|1363774835|1|198.51.100.123:45
  3     0   47 1363774835 Both                   15 198.51.100.63-10803-23569 25000
colon lost and qport glued -> Both|0|47|1363774835|3|198.51.100.63:54733
  9     0  999 1640005678 Sixteen_Letters_^71234567 192.0.2.9:28960         99 25000
long name glued to a long lastmsg -> Sixteen_Letters_|0|999|1640005678|9|192.0.2.9:28960
  1    12   80 Visor^7           50 192.0.2.1:27960     1234 25000
older layout without guid -> Visor|12|80||1|192.0.2.1:27960
 3     0    0 Murielle        ^7bot                                     16384
ioquake3 bot -> Murielle|0|0||3|bot
 7    -1  105 ^4Blue^7Fox        ^7192.0.2.77:27960                        25000
ioquake3 player -> ^4Blue^7Fox|-1|105||7|192.0.2.77:27960
 4     0  CON Lagger          ^7192.0.2.4                               25000
ioquake3 address without port -> Lagger|0|CON||4|192.0.2.4
num score ping guid       name            lastmsg address               qport  rate
column header ->
--- ----- ---- ---------- --------------- ------- --------------------- ------ -----
dashes ->
map: mp_castle
map line ->

empty ->
Invalid password.
invalid password ->
  5     0   30         77 Laggy               5 192.0.2.30:28
cut inside the address ->
  5     0   30 192.0.2.30:28960 25000
nothing between the numbers ->
  x     0   30         77 Laggy   5 192.0.2.30:28960 4 25000
letters for a number ->
  5     0   30         77 Laggy   5 192.0.2.30 4 25000
address without port ->
  5     0   30         77 Laggy   5 192.0.2.30:70000 4 25000
port out of range ->
)";

} // namespace

class TestStatusParser : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void playerLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("row");
        const QStringList lines = QString::fromUtf8(kPlayerLines).split(u'\n');
        for (qsizetype i = 1; i + 1 < lines.size(); i += 2) {
            QTest::newRow(qPrintable(lines[i + 1].section(QStringLiteral(" ->"), 0, 0)))
                << lines[i] << lines[i + 1].section(QStringLiteral(" ->"), 1).trimmed();
        }
    }
    void playerLine()
    {
        QFETCH(QString, line);
        QFETCH(QString, row);
        QCOMPARE(joined(StatusParser::parsePlayerLine(line)), row);
    }

    void table_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("map");
        QTest::addColumn<QStringList>("rows");

        QTest::newRow("no players") << kGuidHeader + "\n"
                                    << "mp_castle" << QStringList{};
        QTest::newRow("players, garbage and a truncated last line")
            << kGuidHeader + guidLine(0, "Sniper", 6, "192.0.2.10:28960") + "garbage ^7 12 x\n" +
                   guidLine(1, "^1Red^7Baron", 8, "bot") + "\n" +
                   guidLine(2, "Cut", 3, "192.0.2.12:28960").left(60)
            << "mp_castle"
            << QStringList{"Sniper|0|40|1000000000|0|192.0.2.10:28960",
                           "^1Red^7Baron|10|41|1000000001|1|bot"};
        // Cut inside the qport, the line would read as the newer layout without guid; the
        // column header says it is not.
        QTest::newRow("header decides the layout")
            << kGuidHeader + guidLine(3, "Joe", 3, "192.0.2.3:28960").left(78) << "mp_castle"
            << QStringList{};
        QTest::newRow("ioquake3")
            << kShortHeader +
                   " 0     3    0 Liz             ^7bot                                     16384\n"
                   " 1     0    0 Sergei          ^7bot                                     16384\n"
                   "\n"
            << "oa_dm1" << QStringList{"Liz|3|0||0|bot", "Sergei|0|0||1|bot"};
        QTest::newRow("invalid password")
            << QByteArray("Invalid password.\n") << "" << QStringList{};

        QByteArray full = kGuidHeader;
        QStringList rows;
        for (int slot = 0; slot < 64; ++slot) {
            const QString name = QStringLiteral("^%1Name %2 rate^7xyz").arg(slot % 8).arg(slot, 2);
            full += guidLine(slot, name, 15, QStringLiteral("198.51.100.%1:28960").arg(slot));
            rows.append(name + QString::asprintf("|%d|%d|%d|%d|198.51.100.%d:28960", slot * 10,
                                                 40 + slot, 1000000000 + slot, slot, slot));
        }
        QTest::newRow("64 players with 15-character coloured names") << full + "\n"
                                                                     << "mp_castle" << rows;
    }
    void table()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, map);
        QFETCH(QStringList, rows);
        const StatusParser::StatusTable table = StatusParser::parse(received(reply));
        QCOMPARE(table.map, map);
        QStringList parsed;
        for (const PlayerRow& row : table.rows) {
            parsed.append(joined(row));
        }
        QCOMPARE(parsed, rows);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestStatusParser)
#include "TestStatusParser.moc"
