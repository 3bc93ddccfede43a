#include "MainWindowFixture.h"
#include "TestMain.h"
#include "UdpPeer.h"
#include "app/MainWindow.h"
#include "rcon/RconDatagram.h"

#include <QElapsedTimer>
#include <QLabel>

using namespace garrison;
using garrison::test::FakeDialogs;
using garrison::test::UdpPeer;

// The second ping limit leaves through the main window's RCON client deferral, driven by its
// real one-second timer; which request a later one replaces is TestRconClient's.
class TestSettingsDeferral : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MainWindowFixture> m_fixture;
    MainWindow* m_main = nullptr;
    FakeDialogs* m_dialogs = nullptr;
    UdpPeer* m_peer = nullptr;

    void click(const char* name)
    {
        auto* control = m_main->findChild<QLabel*>(QLatin1String(name));
        QVERIFY2(control, name);
        QTest::mouseClick(control, Qt::LeftButton);
    }
    static QByteArray request(const char* command)
    {
        return test::MainWindowFixture::request(QString::fromLatin1(command));
    }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<test::MainWindowFixture>();
        m_main = m_fixture->main.get();
        m_dialogs = m_fixture->dialogs.get();
        m_peer = m_fixture->peer.get();
        QVERIFY(m_fixture->connect());
        m_main->showPage(MainWindow::Page::Settings);
    }
    void cleanup() { m_fixture.reset(); }

    void pingChangeSendsTheMaximumLater()
    {
        int receivedWhileBoxOpen = -1;
        m_dialogs->whileOpen = [&](const FakeDialogs::Call&) {
            receivedWhileBoxOpen = int(m_peer->received().size());
        };
        QElapsedTimer clock;
        clock.start();
        click("Label58");

        QCOMPARE(m_dialogs->calls.size(), 1);
        QCOMPARE(m_dialogs->calls[0].text,
                 QStringLiteral("Min ping is now: 0 and Max ping is now: 300"));
        QCOMPARE(m_dialogs->calls[0].icon, BoxIcon::Information);
        // Only "status" had arrived: the box does not wait for the server.
        QCOMPARE(receivedWhileBoxOpen, 1);
        QVERIFY(m_peer->waitFor(2));
        QCOMPARE(m_peer->received().at(1).data, request("sv_minping 0"));
        QVERIFY(clock.elapsed() < 900);

        QVERIFY(m_peer->waitFor(3, 4000));
        QCOMPARE(m_peer->received().at(2).data, request("sv_maxping 300"));
        QVERIFY2(clock.elapsed() >= 1500, qPrintable(QString::number(clock.elapsed())));
    }
};

GARRISON_TEST_MAIN(TestSettingsDeferral)
#include "TestSettingsDeferral.moc"
