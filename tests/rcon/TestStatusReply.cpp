#include "rcon/StatusReply.h"
#include "support/TestMain.h"

#include <QSignalSpy>
#include <QTest>

using namespace garrison;

namespace {

const QString kHeader =
    QStringLiteral("map: mp_castle\r\n"
                   "num score ping guid       name            lastmsg address               qport "
                   " rate\r\n"
                   "--- ----- ---- ---------- --------------- ------- --------------------- ------ "
                   "-----\r\n");

QString line(int slot, const QString& name)
{
    return QStringLiteral("%1     0   48 1234567890 %2             0 192.0.2.%3:28960      12345 "
                          "25000\r\n")
        .arg(slot, 3)
        .arg(name, -15)
        .arg(slot);
}

// "map:name,name" for each table.
QString describe(const StatusParser::StatusTable& table)
{
    QStringList names;
    for (const PlayerRow& row : table.rows) {
        names.append(row[PlayerRow::Name]);
    }
    return table.map + u':' + names.join(u',');
}

const QString kRestart = QStringLiteral("<status sent>");

} // namespace

class TestStatusReply : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void assembly_data()
    {
        QTest::addColumn<QStringList>("datagrams");
        QTest::addColumn<QStringList>("atOnce");   // tables given as the datagrams arrive
        QTest::addColumn<QStringList>("afterGap"); // tables given once nothing more comes

        const QString two = kHeader + line(0, "Sniper") + line(1, "Red Baron") + "\r\n";
        QTest::newRow("whole in one datagram")
            << QStringList{two} << QStringList{"mp_castle:Sniper,Red Baron"} << QStringList{};
        QTest::newRow("cut inside a line")
            << QStringList{two.left(kHeader.size() + 30), two.mid(kHeader.size() + 30, 50),
                           two.mid(kHeader.size() + 80)}
            << QStringList{"mp_castle:Sniper,Red Baron"} << QStringList{};
        QTest::newRow("cut between the line break and the empty line")
            << QStringList{two.chopped(2), QStringLiteral("\r\n")}
            << QStringList{"mp_castle:Sniper,Red Baron"} << QStringList{};
        QTest::newRow("no players")
            << QStringList{kHeader + "\r\n"} << QStringList{"mp_castle:"} << QStringList{};
        QTest::newRow("two replies back to back")
            << QStringList{two + kHeader + line(5, "Doc") + "\r\n"}
            << QStringList{"mp_castle:Sniper,Red Baron", "mp_castle:Doc"} << QStringList{};
        QTest::newRow("end lost") << QStringList{kHeader + line(0, "Sniper")} << QStringList{}
                                  << QStringList{"mp_castle:Sniper"};
        QTest::newRow("no table") << QStringList{"Unknown command \"status\"\r\n"} << QStringList{}
                                  << QStringList{};
        QTest::newRow("older text is dropped when status is sent")
            << QStringList{QStringLiteral("\"sv_hostname\" is: \"x^7\"\r\n") + kHeader +
                               line(3, "Old"),
                           kRestart, kHeader + line(4, "New") + "\r\n"}
            << QStringList{"mp_castle:New"} << QStringList{};
        QTest::newRow("a late reply after the table waits for the next one")
            << QStringList{two, QStringLiteral("Sgt Pepper^7 was kicked\r\n")}
            << QStringList{"mp_castle:Sniper,Red Baron"} << QStringList{};
    }
    void assembly()
    {
        QFETCH(QStringList, datagrams);
        QFETCH(QStringList, atOnce);
        QFETCH(QStringList, afterGap);
        StatusReply reply;
        QStringList given;
        connect(&reply, &StatusReply::tableReady, this,
                [&](const StatusParser::StatusTable& table) { given.append(describe(table)); });
        reply.restart();
        for (const QString& datagram : datagrams) {
            if (datagram == kRestart) {
                reply.restart();
            } else {
                reply.append(datagram);
            }
        }
        QCOMPARE(given, atOnce);
        QTRY_VERIFY_WITH_TIMEOUT(reply.text().isEmpty(), 20 * StatusReply::kQuietGapMs);
        QCOMPARE(given, atOnce + afterGap);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestStatusReply)
#include "TestStatusReply.moc"
