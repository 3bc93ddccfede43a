#include "FakeDialogs.h"
#include "SimFixture.h"
#include "TestMain.h"
#include "UdpPeer.h"
#include "app/MainWindow.h"
#include "app/ReaderWindow.h"
#include "platform/ConsoleBox.h"

#include <QLabel>
#include <QSignalSpy>

using namespace garrison;
using garrison::test::FakeDialogs;
using garrison::test::SimFixture;

// The main window's reply handling against the simulated game server on 127.0.0.1.
class TestReplies : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;
    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<MainWindow> m_main;

    QString label(const char* name)
    {
        return m_main->findChild<QLabel*>(QLatin1String(name))->text();
    }
    void connectWith(const QString& password)
    {
        m_main->takeLoginValues(QStringLiteral("127.0.0.1"), QString::number(m_sim->port()),
                                password);
        m_main->IdentDaemon(QStringLiteral("0"));
        QVERIFY(m_main->Connect());
        m_main->show();
    }

private Q_SLOTS:
    void init()
    {
        m_sim = std::make_unique<SimFixture>();
        QVERIFY(m_sim->start());
        m_sim->console().reply(QStringLiteral("sv_hostname ^1Garrison ^7Test"));
        m_dialogs = std::make_unique<FakeDialogs>();
        m_main = std::make_unique<MainWindow>(*m_dialogs);
    }
    void cleanup()
    {
        m_main.reset();
        m_dialogs.reset();
        m_sim.reset();
    }

    void headerAndGridFillInByThemselves()
    {
        connectWith(m_sim->password());
        QTRY_VERIFY_WITH_TIMEOUT(m_main->gridModel().rowCount() > 0, 3000);
        const int rows = m_main->gridModel().rowCount();
        QCOMPARE(label("Label4"), QString::number(rows));
        QTRY_COMPARE_WITH_TIMEOUT(label("Label3"), QStringLiteral("mp_castle"), 4000);
        QTRY_COMPARE_WITH_TIMEOUT(label("Label6"), QStringLiteral("Garrison Test"), 4000);
        // A player row: slot and name found by the line's structure.
        bool found = false;
        for (int row = 0; row < rows && !found; ++row) {
            const PlayerRow player = m_main->gridModel().row(row);
            found = player[PlayerRow::Slot].trimmed() == QLatin1String("0") &&
                    !player[PlayerRow::Name].trimmed().isEmpty();
        }
        QVERIFY(found);
        QVERIFY(m_dialogs->calls.isEmpty());
    }

    void invalidPasswordEndsTheSession()
    {
        QSignalSpy loginRequested(m_main.get(), &MainWindow::loginWindowRequested);
        connectWith(QStringLiteral("wrong"));
        QTRY_COMPARE_WITH_TIMEOUT(m_dialogs->calls.size(), 1, 5000);
        QCOMPARE(m_dialogs->calls[0].text,
                 QStringLiteral("You have an Invalid password for RCON!"));
        QCOMPARE(m_dialogs->calls[0].caption, QStringLiteral("GARRISON"));
        QCOMPARE(m_dialogs->calls[0].icon, BoxIcon::Critical);
        QCOMPARE(loginRequested.size(), 1);
        QVERIFY(!m_main->isVisible());
        QVERIFY(m_main->txtRcon().isEmpty());
        // The host-name query is armed all the same.
        QVERIFY(m_main->rcon().Timer2().isActive());
        QCOMPARE(m_main->rcon().PendingCommand(), QStringLiteral("sv_hostname"));
    }

    void listsArePublishedOnceWithEveryPart()
    {
        connectWith(m_sim->password());
        QTRY_COMPARE_WITH_TIMEOUT(label("Label6"), QStringLiteral("Garrison Test"), 8000);
        QSignalSpy published(m_main.get(), &MainWindow::listPublished);
        m_main->Send(QStringLiteral("pb_sv_banlist"));
        QVERIFY(published.wait(5000));
        const QString list = published.at(0).at(0).toString();
        QVERIFY(!list.contains(QStringLiteral("PunkBuster Server")));
        QVERIFY(list.size() > 1000); // more than one datagram's worth
        QCOMPARE(m_main->findChild<ConsoleBox*>(QStringLiteral("Text10"))->text(), list);
        QTest::qWait(1500);
        QCOMPARE(published.size(), 1);
    }

    void readerAndIndicatorsTakeTheirReplies()
    {
        connectWith(m_sim->password());
        QTRY_COMPARE_WITH_TIMEOUT(label("Label6"), QStringLiteral("Garrison Test"), 8000);
        m_main->Send(QStringLiteral("serverinfo"));
        QTRY_VERIFY_WITH_TIMEOUT(m_main->reader().isVisible(), 3000);
        QVERIFY(m_main->reader().Text1().text().contains(QStringLiteral("Server info settings:")));

        auto* on = m_main->findChild<QLabel*>(QStringLiteral("Label86"));
        auto* off = m_main->findChild<QLabel*>(QStringLiteral("Label87"));
        m_sim->console().reply(QStringLiteral("set sv_voice 1"));
        m_main->Send(QStringLiteral("sv_voice"));
        QTRY_COMPARE_WITH_TIMEOUT(on->frameShape(), QFrame::Box, 3000);
        QCOMPARE(off->frameShape(), QFrame::NoFrame);
        m_sim->console().reply(QStringLiteral("set sv_voice 0"));
        m_main->Send(QStringLiteral("sv_voice"));
        QTRY_COMPARE_WITH_TIMEOUT(off->frameShape(), QFrame::Box, 3000);
        QCOMPARE(on->frameShape(), QFrame::NoFrame);
    }

    void floodsOfDatagramsAreAllShown()
    {
        // 2,000 reply datagrams within a second, each a numbered line: none may be lost.
        test::UdpPeer server;
        m_main->takeLoginValues(QStringLiteral("127.0.0.1"), server.portText(), "pw");
        QVERIFY(m_main->Connect());
        QVERIFY(server.waitFor(1));
        m_main->Send(QStringLiteral("sv_maxclients"));
        QVERIFY(server.waitFor(2));
        for (int i = 0; i < 2000; ++i) {
            server.reply(test::UdpPeer::replyDatagram("line " + QByteArray::number(i) + '\n'));
            if (i % 50 == 49) {
                QCoreApplication::processEvents(); // the window keeps up while they arrive
            }
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_main->console().text().endsWith(QStringLiteral("line 1999\r\n")),
                                 5000);
        const QString console = m_main->console().text();
        for (int i = 0; i < 2000; ++i) {
            QVERIFY2(console.contains(QStringLiteral("line %1\r\n").arg(i)),
                     qPrintable(QString::number(i)));
        }
    }
};

GARRISON_TEST_MAIN(TestReplies)
#include "TestReplies.moc"
