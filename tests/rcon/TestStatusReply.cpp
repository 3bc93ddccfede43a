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
        const auto row = [](const char* tag, const QStringList& datagrams,
                            const QStringList& atOnce, const QStringList& afterGap = {}) {
            QTest::newRow(tag) << datagrams << atOnce << afterGap;
        };
        const QString two = kHeader + line(0, "Sniper") + line(1, "Red Baron") + "\r\n";
        const QStringList both{"mp_castle:Sniper,Red Baron"};
        const qsizetype cut = kHeader.size() + 30;
        row("whole in one datagram", {two}, both);
        row("cut inside a line", {two.left(cut), two.mid(cut, 50), two.mid(cut + 50)}, both);
        row("cut between the line break and the empty line", {two.chopped(2), "\r\n"}, both);
        row("no players", {kHeader + "\r\n"}, {"mp_castle:"});
        row("two replies back to back", {two + kHeader + line(5, "Doc") + "\r\n"},
            both + QStringList{"mp_castle:Doc"});
        row("end lost", {kHeader + line(0, "Sniper")}, {}, {"mp_castle:Sniper"});
        row("no table", {"Unknown command \"status\"\r\n"}, {});
        row("older text is dropped when status is sent",
            {"\"sv_hostname\" is: \"x^7\"\r\n" + kHeader + line(3, "Old"), kRestart,
             kHeader + line(4, "New") + "\r\n"},
            {"mp_castle:New"});
        row("a late reply after the table waits for the next one",
            {two, "Sgt Pepper^7 was kicked\r\n"}, both);
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
