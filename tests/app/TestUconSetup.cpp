#include "MainWindowFixture.h"
#include "TestMain.h"
#include "app/MainWindow.h"
#include "app/ProgressWindow.h"
#include "app/UconSetup.h"
#include "control/ChatPage.h"
#include "rcon/CommandSender.h"
#include "ucon/RelayLogWorker.h"

#include <QToolButton>

using namespace garrison;
using garrison::test::UdpPeer;

namespace {

const UconIdentity kIdentity = UconIdentity::forAddress(QStringLiteral("192.168.1.20"));

// Remembers each command together with the step the progress window showed when it went out.
class CaptionSender final : public CommandSender {
public:
    void Send(const QString& cmd) override { sent.append({cmd, step()}); }
    void WaitSend(const QString& Cmdz) override { Send(Cmdz); }

    std::function<QString()> step;
    QList<QStringList> sent;
};

} // namespace

class TestUconSetup : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MainWindowFixture> m_fixture;
    MainWindow* m_main = nullptr;
    UdpPeer* m_peer = nullptr;
    int m_started = 0; // relay starts
    QList<int> m_waits;

    void prepare(UconSetup& setup, std::function<void()> duringWait = {})
    {
        setup.worker().setStarter([this](const QString&, const QStringList&, const QString&) {
            ++m_started;
            return true;
        });
        setup.setWait([this, duringWait](int ms) {
            m_waits.append(ms);
            if (duringWait) {
                duringWait();
            }
        });
    }
    void click(const QString& button)
    {
        QTest::mouseClick(m_main->findChild<QToolButton*>(button), Qt::LeftButton);
    }
    void clickChat() { click(QStringLiteral("Image6")); }
    void connectMain()
    {
        m_main->keepUconIdentity(kIdentity);
        QVERIFY(m_fixture->connect());
        m_peer->clear();
    }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<test::MainWindowFixture>();
        m_main = m_fixture->main.get();
        m_peer = m_fixture->peer.get();
        m_started = 0;
        m_waits.clear();
    }
    void cleanup() { m_fixture.reset(); }

    void stepsWithTheirCaptions()
    {
        QWidget window;
        CaptionSender sender;
        ChatPage chat(sender, *m_fixture->dialogs, &window);
        UconSetup setup(sender, chat, &window);
        sender.step = [&setup] {
            const ProgressWindow* progress = setup.progressWindow();
            return progress && progress->isVisible() ? progress->step() : QString();
        };
        QStringList captionsWhileWaiting;
        prepare(setup, [&] {
            QVERIFY(setup.progressWindow() && setup.progressWindow()->isVisible());
            captionsWhileWaiting.append(setup.progressWindow()->step());
        });

        setup.firstVisit(kIdentity);
        const QList<QStringList> expected = {
            {"pb_sv_uconadd 2 192.168.1.20 GARRISON-192.168.1.20 " + kIdentity.password,
             "Addin You to PBUCON User List"},
            {"pb_sv_USessionLimit 16", "Changing Session Limits"},
            {"pb_sv_writecfg", "Writing Configs..."},
            {"pb_sv_writecfg pbucon.use", "Setting up PBUCON.USE"}};
        QCOMPARE(sender.sent, expected);
        QCOMPARE(m_waits, QList<int>({1000, 1000, 1000}));
        QCOMPARE(captionsWhileWaiting,
                 QStringList({expected[0][1], expected[1][1], expected[2][1]}));
        QVERIFY(!setup.progressWindow());
        QVERIFY(!window.findChild<ProgressWindow*>());
        // What the relay is started with is TestRelayLogWorker's.
        QCOMPARE(m_started, 1);
        QVERIFY(setup.worker().Timer1().isActive());
        QVERIFY(setup.started());
    }

    // An exit or a log out during the registration's waits ends it there: nothing more is
    // sent and no relay starts, neither when the wait returns nor later in that session.
    void sessionEndCancelsTheSeries_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<int>("atWait");
        for (const char* ending : {"Image11", "close", "Image4"}) {
            for (int wait = 1; wait <= 3; ++wait) {
                QTest::addRow("%s at wait %d", ending, wait) << QString::fromLatin1(ending) << wait;
            }
        }
    }
    void sessionEndCancelsTheSeries()
    {
        QFETCH(QString, ending);
        QFETCH(int, atWait);
        connectMain();
        prepare(m_main->uconSetup(), [&] {
            if (m_waits.size() != atWait) {
                return;
            }
            if (ending == QLatin1String("close")) {
                m_main->close();
            } else {
                click(ending);
            }
        });
        clickChat();
        const QList<UconSetup::Step> steps = UconSetup::steps(kIdentity);
        QCOMPARE(m_main->rcon().LastCommand(), steps.at(atWait - 1).command);
        QCOMPARE(m_waits.size(), atWait);
        QCOMPARE(m_started, 0);
        QVERIFY(!m_main->uconSetup().progressWindow());
        QVERIFY(!m_main->uconSetup().worker().Timer1().isActive());
        QVERIFY(!m_main->uconSetup().started());
        QTest::qWait(50);
        QCOMPARE(m_started, 0);
    }

    void laterClicksOnlySwitchThePage_data()
    {
        QTest::addColumn<bool>("duringSetup");
        QTest::newRow("after the setup") << false;
        QTest::newRow("while the setup waits") << true;
    }
    void laterClicksOnlySwitchThePage()
    {
        QFETCH(bool, duringSetup);
        connectMain();
        prepare(m_main->uconSetup(), [&] {
            if (duringSetup && m_waits.size() == 1) {
                clickChat();
            }
        });
        clickChat();
        QCOMPARE(m_main->currentPage(), MainWindow::Page::Chat);
        m_main->showPage(MainWindow::Page::Players);
        clickChat();
        QCOMPARE(m_main->currentPage(), MainWindow::Page::Chat);
        // Datagrams keep their order on loopback: the four steps, then the marker right after.
        m_main->Send(QStringLiteral("marker"));
        QVERIFY(m_peer->waitFor(5));
        QCOMPARE(m_peer->received().size(), 5);
        const QList<UconSetup::Step> steps = UconSetup::steps(kIdentity);
        for (qsizetype i = 0; i < steps.size(); ++i) {
            QCOMPARE(m_peer->received().at(i).data, m_fixture->request(steps.at(i).command));
        }
        QCOMPARE(m_peer->received().at(4).data, m_fixture->request(QStringLiteral("marker")));
        QCOMPARE(m_started, 1);
        QCOMPARE(m_waits.size(), 3);
        // The relay already runs when the session ends: the tail goes on until the program
        // ends, and a click after the log out starts nothing.
        click(QStringLiteral("Image4"));
        clickChat();
        QCOMPARE(m_started, 1);
        QCOMPARE(m_waits.size(), 3);
    }
};

GARRISON_TEST_MAIN(TestUconSetup)
#include "TestUconSetup.moc"
