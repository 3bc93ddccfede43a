// GARRISON as a Windows program, the whole of it in this process (launch(), real boxes),
// against what runs beside it: a garrison-sim running natively on the Linux machine under Wine
// (the datagrams cross from Wine to Linux), the Windows relay stand-in started through the
// shell, and the Windows stores. Run through CTest, which starts the simulator
// (tests/support/with-native-sim) and hands its port over in GARRISON_NATIVE_SIM_PORT.
#include "BoxAnswerer.h"
#include "ProgramWindows.h"
#include "TestEnvironment.h"
#include "TestMain.h"
#include "app/AppController.h"
#include "app/MainWindow.h"
#include "app/UconSetup.h"
#include "app/launch.h"
#include "control/ChatPage.h"
#include "platform/AppFolder.h"
#include "players/PlayersPage.h"
#include "ucon/RelayLogWorker.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QUdpSocket>
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

using namespace garrison;
using garrison::test::visibleWindow;

namespace {

// How many processes of that image name run on the machine, counted apart from the program's
// own search so that a fault there shows here.
int running(const wchar_t* image)
{
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        count += _wcsicmp(entry.szExeFile, image) == 0 ? 1 : 0;
    }
    CloseHandle(snapshot);
    return count;
}

QString freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return QString::number(probe.localPort());
}

} // namespace

class TestWindowsDesktop : public QObject {
    Q_OBJECT

    static constexpr int kTimeoutMs = 15000;
    AppController* m_app = nullptr;
    int m_quits = 0;
    QString m_port;

private Q_SLOTS:
    void initTestCase()
    {
        m_port = qEnvironmentVariable("GARRISON_NATIVE_SIM_PORT");
        if (m_port.isEmpty()) {
            QSKIP("needs garrison-sim running natively beside Wine: run it through CTest, "
                  "which starts one (tests/support/with-native-sim)");
        }
        QCOMPARE(running(L"pbucon.exe"), 0);
        // The relay lies in the application folder before the program starts, as a user
        // installs it.
        const QString relay = AppFolder::filePath(QStringLiteral("pbucon.exe"));
        QFile::remove(relay);
        QVERIFY(QFile::copy(QStringLiteral(GARRISON_RELAY_PATH), relay));
        // The simulator listens on loopback only: the relay must be told to listen there too.
        qputenv("GARRISON_LOCAL_ADDRESS", "127.0.0.1");
        m_app = &launch();
        m_app->setQuit([this] { ++m_quits; });
    }

    // The login window's fields, Connect, and the grid filled from the server's status.
    void logsInToTheNativeSimulator()
    {
        QWidget* form = visibleWindow("Form4");
        QVERIFY(form);
        form->findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("127.0.0.1"));
        form->findChild<QLineEdit*>(QStringLiteral("Text5"))->setText(m_port);
        form->findChild<QLineEdit*>(QStringLiteral("Text6"))->setText(QStringLiteral("secret"));
        form->findChild<QLineEdit*>(QStringLiteral("Text7"))->setText(freeUdpPort());
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindow("Main") && !visibleWindow("Form4"), kTimeoutMs);

        MainWindow* main = m_app->mainWindow();
        QTRY_COMPARE_WITH_TIMEOUT(main->playersPage().grid().model()->rowCount(), 8, kTimeoutMs);
    }

    // The Chat page's first visit registers this machine with PunkBuster and starts the relay
    // from the application folder through the shell; the relay's filtered lines reach the
    // chat box; Exit ends every pbucon.exe by image name.
    void relayStartsThroughTheShellAndEndsWithTheProgram()
    {
        MainWindow* main = m_app->mainWindow();
        QVERIFY(main);
        main->uconSetup().setWait([](int) {});
        main->uconSetup().worker().setTickInterval(100);

        QTest::mouseClick(main->findChild<QWidget*>(QStringLiteral("Image6")), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(running(L"pbucon.exe"), 1, kTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(
            QFile::exists(main->uconSetup().worker().folder() + QStringLiteral("/pbucon.log")),
            kTimeoutMs);

        main->Send(QStringLiteral("pb_sv_kick 1 0 testing"));
        const QString folder = main->uconSetup().worker().folder();
        const auto relayFiles = [&folder] {
            QString both;
            for (const char* name : {"/codwaw.ini", "/pbucon.log"}) {
                QFile file(folder + QLatin1String(name));
                both += file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll())
                                                       : QStringLiteral("(none)");
            }
            return both;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(
            main->chatPage().transcript().contains(
                QStringLiteral("PunkBuster Server - Kick Command Issued (testing) for (slot#1)")),
            qPrintable(relayFiles()), kTimeoutMs);

        const int quits = m_quits;
        QTest::mouseClick(main->findChild<QWidget*>(QStringLiteral("Image11")), Qt::LeftButton);
        QCOMPARE(m_quits, quits + 1);
        QTRY_COMPARE_WITH_TIMEOUT(running(L"pbucon.exe"), 0, kTimeoutMs);
    }
};

GARRISON_TEST_MAIN(TestWindowsDesktop)
#include "TestWindowsDesktop.moc"
