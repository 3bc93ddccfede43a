#include "FakeDialogs.h"
#include "SimFixture.h"
#include "TestMain.h"
#include "app/MainWindow.h"
#include "app/UconSetup.h"
#include "control/ChatPage.h"
#include "platform/AppFolder.h"
#include "platform/ConsoleBox.h"
#include "ucon/RelayLogWorker.h"
#include "ucon/UconIni.h"

#include <QFile>
#include <QProcess>
#include <QToolButton>
#include <QUdpSocket>

using namespace garrison;
using garrison::test::FakeDialogs;
using garrison::test::SimFixture;

// GARRISON against the in-process simulator with the real relay program in its folder.
class TestUconRelay : public QObject {
    Q_OBJECT

    static constexpr int kTimeoutMs = 10000;

    std::unique_ptr<SimFixture> m_sim;
    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<MainWindow> m_main;
    // The relay runs as the test's own child, so the test ends exactly the process it started.
    std::unique_ptr<QProcess> m_relay;

    static quint16 freePort()
    {
        QUdpSocket socket;
        socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
        return socket.localPort();
    }

private Q_SLOTS:
    void init()
    {
        m_sim = std::make_unique<SimFixture>();
        QVERIFY(m_sim->start());
        m_dialogs = std::make_unique<FakeDialogs>();
        m_main = std::make_unique<MainWindow>(*m_dialogs);
        m_relay = std::make_unique<QProcess>();

        const QString relayCopy = AppFolder::filePath(QStringLiteral("pbucon.exe"));
        QFile::remove(relayCopy);
        QVERIFY(QFile::copy(QStringLiteral(GARRISON_RELAY_PATH), relayCopy));
    }
    void cleanup()
    {
        m_relay->kill();
        m_relay->waitForFinished(kTimeoutMs);
        m_main.reset();
        m_relay.reset();
        m_dialogs.reset();
        m_sim.reset();
    }

    void kickReachesTheChatBox()
    {
        const UconIdentity identity = UconIdentity::forAddress(QStringLiteral("127.0.0.1"));
        const QString serverPort = QString::number(m_sim->port());
        UconIni::write(AppFolder::path(), UconIni::text(QStringLiteral("127.0.0.1"), serverPort,
                                                        QString::number(freePort()), identity));
        m_main->keepUconIdentity(identity);
        m_main->takeLoginValues(QStringLiteral("127.0.0.1"), serverPort, m_sim->password());
        QVERIFY(m_main->Connect());

        UconSetup& setup = m_main->uconSetup();
        setup.setWait([](int) {});
        setup.worker().setTickInterval(100);
        setup.worker().setStarter(
            [this](const QString& program, const QStringList& arguments, const QString& folder) {
                m_relay->setWorkingDirectory(folder);
                m_relay->start(program, arguments);
                return m_relay->waitForStarted(kTimeoutMs);
            });
        m_main->show();
        QTest::mouseClick(m_main->findChild<QToolButton*>(QStringLiteral("Image6")),
                          Qt::LeftButton);
        QCOMPARE(m_relay->state(), QProcess::Running);
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->server().uconFeed().relays().size(), 1, kTimeoutMs);

        m_sim->rcon(QStringLiteral("pb_sv_kick 1 0 testing"));
        QTRY_VERIFY_WITH_TIMEOUT(
            m_main->chatPage().transcript().contains(
                QStringLiteral("PunkBuster Server - Kick Command Issued (testing) for (slot#1)")),
            kTimeoutMs);
        const QString shown = m_main->chatPage().transcript();
        QVERIFY2(!shown.contains(QStringLiteral("Relay started")), qPrintable(shown));
        QVERIFY2(!shown.contains(QChar(0xFA)), qPrintable(shown));
        QVERIFY(m_main->chatPage().txtsay2().textCursor().atEnd());
        QVERIFY(QFile::exists(AppFolder::filePath(QStringLiteral("pbucon.log"))));
    }
};

GARRISON_TEST_MAIN(TestUconRelay)
#include "TestUconRelay.moc"
