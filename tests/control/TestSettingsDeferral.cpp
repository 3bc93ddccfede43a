#include "MainWindowFixture.h"
#include "TestMain.h"

#include <QElapsedTimer>
#include <QLabel>

using namespace garrison;
using garrison::test::FakeDialogs;

// The second ping limit leaves through the main window's RCON client deferral, driven by its
// real one-second timer; which request a later one replaces is TestRconClient's.
class TestSettingsDeferral : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pingChangeSendsTheMaximumLater()
    {
        test::MainWindowFixture fixture;
        QVERIFY(fixture.connect());
        fixture.main->showPage(MainWindow::Page::Settings);
        int receivedWhileBoxOpen = -1;
        fixture.dialogs->whileOpen = [&](const FakeDialogs::Call&) {
            receivedWhileBoxOpen = int(fixture.peer->received().size());
        };
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(fixture.main->findChild<QLabel*>(QStringLiteral("Label58")),
                          Qt::LeftButton);

        QCOMPARE(fixture.dialogs->calls.size(), 1);
        QCOMPARE(fixture.dialogs->calls[0].text,
                 QStringLiteral("Min ping is now: 0 and Max ping is now: 300"));
        QCOMPARE(fixture.dialogs->calls[0].icon, BoxIcon::Information);
        // Only "status" had arrived: the box does not wait for the server.
        QCOMPARE(receivedWhileBoxOpen, 1);
        QVERIFY(fixture.peer->waitFor(2));
        QCOMPARE(fixture.peer->received().at(1).data, fixture.request("sv_minping 0"));
        QVERIFY(clock.elapsed() < 900);

        QVERIFY(fixture.peer->waitFor(3, 4000));
        QCOMPARE(fixture.peer->received().at(2).data, fixture.request("sv_maxping 300"));
        QVERIFY2(clock.elapsed() >= 1500, qPrintable(QString::number(clock.elapsed())));
    }
};

GARRISON_TEST_MAIN(TestSettingsDeferral)
#include "TestSettingsDeferral.moc"
