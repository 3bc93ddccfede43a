#include "FakeDialogs.h"
#include "SimFixture.h"
#include "TestMain.h"
#include "app/MainWindow.h"
#include "platform/ConsoleBox.h"
#include "players/PlayersPage.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>

using namespace garrison;
using garrison::test::FakeDialogs;
using garrison::test::SimFixture;

// A server that dies during a session and comes back on the same port, seen through a main
// window whose player list refreshes itself.
class TestServerDown : public QObject {
    Q_OBJECT

    FakeDialogs m_dialogs;
    std::unique_ptr<SimFixture> m_sim;
    std::unique_ptr<MainWindow> m_main;

    template <typename T> T* child(const char* name)
    {
        return m_main->findChild<T*>(QLatin1String(name));
    }
    bool stale() const
    {
        const PlayerGridModel& grid = m_main->session().gridModel();
        return grid.rowCount() > 0 && grid.index(0, 0).data(PlayerGridModel::kStaleRole).toBool();
    }

private Q_SLOTS:
    void init()
    {
        m_sim = std::make_unique<SimFixture>();
        QVERIFY(m_sim->start());
        m_sim->console().dvars().set(u"sv_hostname", QStringLiteral("^1Down^7Town"));
        m_main = std::make_unique<MainWindow>(m_dialogs);
        m_main->show();
        ServerSession& session = m_main->session();
        session.setAnswerWaitMs(500);
        session.setProbeMs(300);
        child<QCheckBox>("chkAutoRefresh")->setChecked(true);
        m_main->playersPage().refreshTimer().setInterval(200);
        m_main->takeLoginValues(QStringLiteral("127.0.0.1"), QString::number(m_sim->port()),
                                m_sim->password());
        m_main->IdentDaemon(QStringLiteral("0"));
        QVERIFY(m_main->Connect());
        QTRY_VERIFY_WITH_TIMEOUT(m_main->session().hostName() != ServerSession::kLoading, 10000);
    }
    void cleanup()
    {
        m_main.reset();
        m_sim.reset();
    }

    void saysSoAndRecovers()
    {
        auto* state = child<QLabel>("lblServerState");
        QVERIFY(!state->isVisible());
        const QString title =
            QStringLiteral("GARRISON – DownTown (127.0.0.1:%1)").arg(m_sim->port());
        QCOMPARE(m_main->windowTitle(), title);
        const int players = m_main->session().gridModel().rowCount();
        QVERIFY(players > 0);

        const quint16 port = m_sim->port();
        m_sim.reset();
        QTRY_VERIFY_WITH_TIMEOUT(state->isVisible(), 8000);
        QVERIFY2(state->text().startsWith(QStringLiteral("Not answering since ")),
                 qPrintable(state->text()));
        QVERIFY2(
            m_main->windowTitle().startsWith(title + QStringLiteral(" – not answering since ")),
            qPrintable(m_main->windowTitle()));
        QCOMPARE(m_main->session().gridModel().rowCount(), players);
        QVERIFY(stale());

        m_sim = std::make_unique<SimFixture>();
        m_sim->console().dvars().set(u"sv_hostname", QStringLiteral("^1Down^7Town"));
        QVERIFY(m_sim->start(port));
        QTRY_VERIFY_WITH_TIMEOUT(!state->isVisible(), 8000);
        QCOMPARE(m_main->windowTitle(), title);
        QVERIFY2(child<QLabel>("statusLine")
                     ->text()
                     .startsWith(QStringLiteral("The server answers again (it was silent from ")),
                 qPrintable(child<QLabel>("statusLine")->text()));
        QTRY_VERIFY_WITH_TIMEOUT(!stale(), 5000);
        QCOMPARE(m_main->session().gridModel().rowCount(), players);
    }

    // The refresh's own exchanges stay out of the Terminal and the status line; what the user
    // sends, and its reply, go in.
    void refreshStaysOutOfTheTerminal()
    {
        const auto asked = [this] { return m_sim->answered().count(QStringLiteral("status")); };
        const qsizetype before = asked();
        const QString said = child<QLabel>("statusLine")->text();
        QTRY_VERIFY_WITH_TIMEOUT(asked() >= before + 2, 10000);
        const QString transcript = m_main->console().text();
        QCOMPARE(transcript.count(QStringLiteral("] - /status")), 1);
        QCOMPARE(transcript.count(QStringLiteral("] - /mapname")), 1);
        QCOMPARE(child<QLabel>("statusLine")->text(), said);

        m_main->Send(QStringLiteral("sv_maxclients"));
        QTRY_VERIFY_WITH_TIMEOUT(
            m_main->console().text().contains(QStringLiteral("sv_maxclients\"")), 5000);
        QVERIFY(m_main->console().text().contains(QStringLiteral("] - /sv_maxclients")));
    }
};

GARRISON_TEST_MAIN(TestServerDown)
#include "TestServerDown.moc"
