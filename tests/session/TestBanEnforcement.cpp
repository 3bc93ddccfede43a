#include "SimFixture.h"
#include "TestMain.h"
#include "TextRows.h"
#include "bans/BanSource.h"
#include "session/ServerSession.h"

#include <QSignalSpy>

using namespace garrison;
using garrison::test::SimFixture;

namespace {

// Bans in memory, answered from the event loop as the real sources answer.
class MemoryBanSource : public BanSource {
public:
    QList<BanRecord> bans;

    void list() override
    {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT listed(bans); }, Qt::QueuedConnection);
    }
    void add(const BanRecord& ban) override
    {
        bans.append(ban);
        bans.last().id = bans.size();
        Q_EMIT listChanged();
    }
    void edit(const BanRecord&) override {}
    void lift(qint64 id, const QString& note) override
    {
        bans[id - 1].lifted = true;
        bans[id - 1].liftNote = note;
        Q_EMIT listChanged();
    }
};

} // namespace

// A direct session keeps banned players off its server: at each status, whoever a ban covers
// is told why and kicked by slot.
class TestBanEnforcement : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;
    std::unique_ptr<ServerSession> m_session;
    MemoryBanSource m_source;

    QString serverKey() const { return QStringLiteral("127.0.0.1:%1").arg(m_sim->port()); }

    // The slot the player joined in.
    int join(const QString& name, const QString& guid, const QString& address)
    {
        const QString said = m_sim->console().reply(
            QStringLiteral("sim_join %1 %2 %3").arg(name, guid, address).trimmed());
        const qsizetype at = said.lastIndexOf(QLatin1String("slot "));
        return at < 0 ? -1 : said.mid(at + 5).trimmed().toInt();
    }
    bool onServer(int slot) const
    {
        for (const PlayerRow& row : m_sim->gridRows()) {
            if (row[PlayerRow::Slot].trimmed() == QString::number(slot)) {
                return true;
            }
        }
        return false;
    }
    // Sends "status" and waits until the grid shows the server's players.
    void status()
    {
        m_session->Send(QStringLiteral("status"));
        QTRY_COMPARE_WITH_TIMEOUT(m_session->gridModel().rows(), m_sim->gridRows(), 3000);
    }

private Q_SLOTS:
    void init()
    {
        m_sim = std::make_unique<SimFixture>();
        QVERIFY(m_sim->start());
        m_sim->console().reply(QStringLiteral("sv_hostname ^1Garrison ^7Test"));
        m_source.bans.clear();
        m_session = std::make_unique<ServerSession>();
        m_session->setBanSource(&m_source);
        m_session->takeLoginValues(QStringLiteral("127.0.0.1"), QString::number(m_sim->port()),
                                   m_sim->password());
        m_session->IdentDaemon(QStringLiteral("0"));
        QVERIFY(!m_session->Connect());
        QTRY_COMPARE_WITH_TIMEOUT(m_session->gridModel().rows(), m_sim->gridRows(), 3000);
    }
    void cleanup()
    {
        m_session.reset();
        m_sim.reset();
    }

    // ban: "guid|address|servers|hours|lifted|reason" ("this" stands for the server's
    // "host:port", "@" for its name); joining: "name guid address"; tell: the text the player is
    // told after "tell SLOT " ("{100}": 100 characters of the reason), empty when he stays.
    void joinerIsKeptOut_data()
    {
        garrison::test::addTextRows(
            {"ban", "joining", "tell"},
            {{"guid", "555||||no|Aimbot", "Cheater 555 198.51.100.9",
              "You are banned from this server: Aimbot^7"},
             {"address range", "|198.18.0.0/24|||no|", "Other 777 198.18.0.77",
              "You are banned from this server."},
             {"this server by address:port", "555||this||no|x", "Cheater 555",
              "You are banned from this server: x^7"},
             {"this server by its name", "555||@||no|x", "Cheater 555",
              "You are banned from this server: x^7"},
             {"another server", "555||192.0.2.1:28960||no|x", "Cheater 555", ""},
             {"expired", "555|||-1|no|x", "Cheater 555", ""},
             {"lifted", "555||||yes|x", "Cheater 555", ""},
             {"other guid, other address", "555|198.51.100.9|||no|x", "Clean 556 198.51.100.8", ""},
             {"console syntax in the reason", "555||||no|say \"hi\"; quit\r\n\x01", "Cheater 555",
              "You are banned from this server: say 'hi', quit^7"},
             {"10,000 characters", "555||||no|{10000}", "Cheater 555",
              "You are banned from this server: {100}^7"}});
    }
    void joinerIsKeptOut()
    {
        QFETCH(QString, ban);
        QFETCH(QString, joining);
        QFETCH(QString, tell);
        tell.replace(QLatin1String("{100}"), QString(100, QLatin1Char('y')));
        const QStringList fields = ban.split(QLatin1Char('|'));
        BanRecord record;
        record.id = 1;
        record.guid = fields.at(0);
        if (!fields.at(1).isEmpty()) {
            QVERIFY(BanRecord::parseAddress(fields.at(1), &record.address, &record.prefixLength));
        }
        if (fields.at(2) == QLatin1String("@")) {
            record.servers = {QStringLiteral("Garrison Test")};
            QTRY_COMPARE_WITH_TIMEOUT(m_session->hostName(), QStringLiteral("Garrison Test"), 8000);
        } else if (!fields.at(2).isEmpty()) {
            record.servers = {fields.at(2) == QLatin1String("this") ? serverKey() : fields.at(2)};
        }
        if (!fields.at(3).isEmpty()) {
            record.until = QDateTime::currentDateTimeUtc().addSecs(fields.at(3).toInt() * 3600);
        }
        record.lifted = fields.at(4) == QLatin1String("yes");
        record.reason = fields.at(5);
        record.reason.replace(QLatin1String("{10000}"), QString(10000, QLatin1Char('y')));
        m_source.bans = {record};
        m_source.list();
        QSignalSpy keptOut(m_session.get(), &ServerSession::playerKeptOut);

        const QStringList player = joining.split(QLatin1Char(' '));
        const int slot = join(player.at(0), player.at(1), player.value(2));
        QVERIFY(slot >= 0);
        status();
        if (tell.isEmpty()) {
            QCOMPARE(keptOut.size(), 0);
            QVERIFY(onServer(slot));
            return;
        }
        QCOMPARE(keptOut.size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!onServer(slot), 8000);
        const QStringList answered = m_sim->answered();
        const qsizetype told = answered.indexOf(QStringLiteral("tell %1 ").arg(slot) + tell);
        QVERIFY2(told >= 0, qPrintable(answered.join(QStringLiteral(" / ")).right(400)));
        QCOMPARE(answered.indexOf(QStringLiteral("clientkick %1").arg(slot)), told + 1);
    }

    // A timed ban ends by itself, and a lifted one lets the player back.
    void endedBansLetThePlayerBack()
    {
        BanRecord timed;
        timed.guid = QStringLiteral("555");
        timed.until = QDateTime::currentDateTimeUtc().addSecs(3);
        m_source.add(timed);
        BanRecord lifted;
        lifted.address = QStringLiteral("198.51.100.20");
        m_source.add(lifted);
        QTRY_VERIFY_WITH_TIMEOUT(m_session->banSource() == &m_source, 100);

        int first = join(QStringLiteral("Timed"), QStringLiteral("555"), QString());
        int second =
            join(QStringLiteral("Lifted"), QStringLiteral("600"), QStringLiteral("198.51.100.20"));
        status();
        QTRY_VERIFY_WITH_TIMEOUT(!onServer(first) && !onServer(second), 10000);

        m_source.lift(2, QStringLiteral("appeal granted"));
        QTRY_VERIFY_WITH_TIMEOUT(
            timed.state(QDateTime::currentDateTimeUtc()) == BanRecord::State::Expired, 5000);
        QSignalSpy keptOut(m_session.get(), &ServerSession::playerKeptOut);
        first = join(QStringLiteral("Timed"), QStringLiteral("555"), QString());
        second =
            join(QStringLiteral("Lifted"), QStringLiteral("600"), QStringLiteral("198.51.100.20"));
        status();
        QCOMPARE(keptOut.size(), 0);
        QVERIFY(onServer(first) && onServer(second));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestBanEnforcement)
#include "TestBanEnforcement.moc"
