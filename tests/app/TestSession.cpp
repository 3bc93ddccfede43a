#include "ProgramWindows.h"
#include "TestEnvironment.h"
#include "TestMain.h"
#include "UdpPeer.h"
#include "app/AppController.h"
#include "app/MainWindow.h"
#include "app/UconSetup.h"
#include "app/launch.h"
#include "login/LoginWindow.h"
#include "platform/AppFolder.h"
#include "platform/TerminationWatcher.h"
#include "ucon/RelayLogWorker.h"

#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <array>
#include <csignal>

using namespace garrison;

namespace {

// Whether the process whose /proc status file this is has a handler for SIGTERM.
bool catchesTermination(const QString& statusFile)
{
    QFile file(statusFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            const quint64 caught = line.mid(7).trimmed().toULongLong(nullptr, 16);
            return (caught >> (SIGTERM - 1)) & 1U;
        }
    }
    return false;
}

} // namespace
using garrison::test::connectDirectly;
using garrison::test::UdpPeer;
using garrison::test::visibleWindow;

// The whole program in this process: launch(), the real login window, real message boxes.
class TestSession : public QObject {
    Q_OBJECT

    AppController* m_app = nullptr;
    int m_quits = 0;

private Q_SLOTS:
    void initTestCase()
    {
        m_app = &launch();
        m_app->setQuit([this] { ++m_quits; });
    }

    // What the login window hands over reaches the main window; Log out shows a fresh login
    // window in front of it, and Quit there ends the program. That a login reaches the server
    // is the evening's test.
    void directLoginUntilLogOutAndQuit()
    {
        UdpPeer server;
        connectDirectly(server.portText(), QStringLiteral("secret"));
        QVERIFY(server.waitFor(1));
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindow("Main") && !visibleWindow("Form4"), 2000);
        MainWindow* main = m_app->mainWindow();
        QCOMPARE(main->session().rcon().DaemonFlag(), QStringLiteral("0"));
        QVERIFY(main->uconIdentity().loginName.startsWith(QStringLiteral("GARRISON-")));

        QTest::mouseClick(main->findChild<QWidget*>(QStringLiteral("Image4")), Qt::LeftButton);
        QWidget* form = visibleWindow("Form4");
        QVERIFY(form);
        QVERIFY(main->isVisible());
        QVERIFY(form->findChild<QLineEdit*>(QStringLiteral("Text4"))->text().isEmpty());
        const int before = m_quits;
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("Command2")),
                          Qt::LeftButton);
        QCOMPARE(m_quits, before + 1);
    }

    // Two servers at once. Exit in one window ends its session and the relay of its own
    // folder; the other window and its relay run on. Closing the last window ends the program
    // and every relay, also ones this program did not start.
    void exitEndsOneWindowThenTheProgram()
    {
        UdpPeer first;
        UdpPeer second;
        connectDirectly(first.portText(), QStringLiteral("pw"));
        QTRY_VERIFY_WITH_TIMEOUT(first.waitFor(1) && !visibleWindow("Form4"), 5000);
        MainWindow* one = m_app->mainWindow();
        QTest::mouseClick(one->findChild<QWidget*>(QStringLiteral("ImageNewLogin")),
                          Qt::LeftButton);
        connectDirectly(second.portText(), QStringLiteral("pw"));
        QVERIFY(second.waitFor(1));
        MainWindow* two = m_app->mainWindow();
        QVERIFY(two != one && one->isVisible() && two->isVisible());

        const QString image = test::scratchFolder() + QStringLiteral("/pbucon.exe");
        QFile::remove(image);
        QVERIFY(QFile::copy(test::sleeperProgram(), image));
        QVERIFY(QFile::setPermissions(image, QFile::ReadOwner | QFile::ExeOwner));
        std::array<QProcess, 3> relays;
        const QStringList folders = {one->uconSetup().worker().folder(),
                                     two->uconSetup().worker().folder(), test::scratchFolder()};
        QCOMPARE(folders[0],
                 AppFolder::filePath(QStringLiteral("relay-127.0.0.1-") + first.portText()));
        for (int i = 0; i < 3; ++i) {
            relays[i].setWorkingDirectory(folders[i]);
            relays[i].start(image, {QStringLiteral("60")});
            QVERIFY(relays[i].waitForStarted());
        }

        const int quits = m_quits;
        QTest::mouseClick(one->findChild<QWidget*>(QStringLiteral("Image11")), Qt::LeftButton);
        QVERIFY(relays[0].waitForFinished(5000));
        QTRY_COMPARE_WITH_TIMEOUT(m_app->mainWindows(), QList<MainWindow*>{two}, 5000);
        QCOMPARE(relays[1].state(), QProcess::Running);
        QCOMPARE(relays[2].state(), QProcess::Running);
        QCOMPARE(m_quits, quits);
        const int asked = second.received().size();
        two->Send(QStringLiteral("status"));
        QVERIFY(second.waitFor(asked + 1));

        two->close();
        QCOMPARE(m_quits, quits + 1);
        QVERIFY(relays[1].waitForFinished(5000));
        QVERIFY(relays[2].waitForFinished(5000));
        QVERIFY(!two->session().rcon().isOpen());
    }

    // The system's requests to end take the way of the last window's Exit: the program ends,
    // and so does every relay.
    void terminationSignalEndsTheProgramAndTheRelay_data()
    {
        QTest::addColumn<int>("signalNumber");
        if (TerminationWatcher::signalNumbers().isEmpty()) {
            QSKIP("the system asks a desktop program to end by closing its windows");
        }
        for (const int number : TerminationWatcher::signalNumbers()) {
            QTest::newRow(QByteArray::number(number).constData()) << number;
        }
    }
    void terminationSignalEndsTheProgramAndTheRelay()
    {
        QFETCH(int, signalNumber);
        UdpPeer server;
        QVERIFY(m_app->startDirectSession(QStringLiteral("127.0.0.1"), server.portText(),
                                          QStringLiteral("pw")));
        QVERIFY(server.waitFor(1));
        const QString image = test::scratchFolder() + QStringLiteral("/pbucon.exe");
        QFile::remove(image);
        QVERIFY(QFile::copy(test::sleeperProgram(), image));
        QVERIFY(QFile::setPermissions(image, QFile::ReadOwner | QFile::ExeOwner));
        QProcess relay;
        relay.start(image, {QStringLiteral("60")});
        QVERIFY(relay.waitForStarted());

        const int quits = m_quits;
        QCOMPARE(std::raise(signalNumber), 0);
        // The signal reaches the program through its event loop.
        QTRY_COMPARE_WITH_TIMEOUT(relay.state(), QProcess::NotRunning, 5000);
        QCOMPARE(m_quits, quits + 1);
    }

    // The program itself, asked to end (SIGTERM; on Windows its windows are closed), leaves
    // through its event loop: a normal exit, not one by the signal.
    void programAskedToEndExitsNormally()
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(AppFolder::kEnvironmentVariable),
                           test::scratchFolder());
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(GARRISON_PROGRAM), {});
        QVERIFY(program.waitForStarted());
        // Asked before it listens, it would end by the signal: wait until it catches SIGTERM.
        const QString status = QStringLiteral("/proc/%1/status").arg(program.processId());
        if (!QFile::exists(status)) {
            program.kill();
            program.waitForFinished();
            QSKIP("no /proc to tell when the program listens");
        }
        QTRY_VERIFY_WITH_TIMEOUT(catchesTermination(status), 10000);
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

GARRISON_TEST_MAIN(TestSession)
#include "TestSession.moc"
