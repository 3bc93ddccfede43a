#include "FakeDialogs.h"
#include "TestMain.h"
#include "TextRows.h"
#include "app/MainWindow.h"
#include "control/JoinGame.h"
#include "platform/HostSystem.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

using namespace garrison;
using garrison::test::addTextRows;
using garrison::test::FakeDialogs;

namespace {
const QString kSection = QStringLiteral("[Configs]");

void storeJoinSettings(const QString& path, const QString& password)
{
    SettingsStore::write(kSection, QStringLiteral("Path"), path);
    SettingsStore::write(kSection, QStringLiteral("ServerPass"), password);
}
// The stored path and password.
QStringList stored()
{
    return {SettingsStore::read(kSection, QStringLiteral("Path")),
            SettingsStore::read(kSection, QStringLiteral("ServerPass"))};
}
} // namespace

class TestJoinServer : public QObject {
    Q_OBJECT

    FakeDialogs m_dialogs;
    std::unique_ptr<MainWindow> m_main;

    // A new main window, as at a program start: it reads the join settings when it loads.
    void startMain()
    {
        m_main = std::make_unique<MainWindow>(m_dialogs);
        m_main->takeLoginValues(QStringLiteral("127.0.0.1"), QStringLiteral("28960"),
                                QStringLiteral("rconpw"));
        m_main->show();
    }
    void clickLabel(const char* name)
    {
        QWidget* label = m_main->findChild<QLabel*>(QLatin1String(name));
        QVERIFY2(label, name);
        QTest::mouseClick(label, Qt::LeftButton);
    }
    QWidget* configWindow()
    {
        return m_main->findChild<QWidget*>(QStringLiteral("joinserverconfig"));
    }
    template <typename T> T* inConfig(const char* name)
    {
        QWidget* window = configWindow();
        T* widget = window ? window->findChild<T*>(QLatin1String(name)) : nullptr;
        if (!widget) {
            qFatal("no control %s in joinserverconfig", name);
        }
        return widget;
    }
    void openConfig()
    {
        clickLabel("Label92");
        QVERIFY(configWindow());
        QVERIFY(configWindow()->isVisible());
    }
    void pressInConfig(const char* button)
    {
        QPointer<QWidget> window = configWindow();
        QTest::mouseClick(inConfig<QPushButton>(button), Qt::LeftButton);
        QVERIFY(!window || !window->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!window, 2000);
    }

private Q_SLOTS:
    void init()
    {
        storeJoinSettings(QString(), QString());
        m_dialogs = {};
        startMain();
    }
    void cleanup() { m_main.reset(); }

    void joinWithoutExecutableAsksToConfigure()
    {
        clickLabel("Label91");

        QCOMPARE(m_dialogs.calls.size(), 1);
        const FakeDialogs::Call& box = m_dialogs.calls.first();
        QCOMPARE(box.kind, FakeDialogs::Call::Message);
        QCOMPARE(box.text, QStringLiteral("You need to config this first!"));
        QCOMPARE(box.caption, QStringLiteral("Config!"));
        QCOMPARE(box.icon, BoxIcon::Critical);
        QVERIFY(configWindow());
        QVERIFY(configWindow()->isVisible());
        QVERIFY(!configWindow()->isModal());
    }

    // The window shows the current values; a second "(config)" brings the open window forward,
    // edits and all. Browse sets the path, or clears it when cancelled, and stores nothing.
    void configWindowShowsAndBrowses_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::newRow("file chosen") << QStringLiteral("/games/cod waw/CoDWaWmp.exe");
        QTest::newRow("cancelled") << QString();
    }
    void configWindowShowsAndBrowses()
    {
        QFETCH(QString, chosen);
        m_main->joinGame().setJoinSettings(QStringLiteral("/games/CoDWaWmp.exe"),
                                           QStringLiteral("pw"));
        openConfig();
        QCOMPARE(inConfig<QLineEdit>("Text1")->text(), QStringLiteral("/games/CoDWaWmp.exe"));
        QCOMPARE(inConfig<QLineEdit>("Text2")->text(), QStringLiteral("pw"));
        inConfig<QLineEdit>("Text2")->setText(QStringLiteral("edited"));
        clickLabel("Label92");
        QCOMPARE(m_main->findChildren<QWidget*>(QStringLiteral("joinserverconfig")).size(), 1);
        QCOMPARE(inConfig<QLineEdit>("Text2")->text(), QStringLiteral("edited"));
        if (!chosen.isEmpty()) {
            m_dialogs.files.enqueue(chosen);
        }

        QTest::mouseClick(inConfig<QPushButton>("Command1"), Qt::LeftButton);

        QCOMPARE(m_dialogs.calls.size(), 1);
        const FakeDialogs::Call& dialog = m_dialogs.calls.first();
        QCOMPARE(dialog.kind, FakeDialogs::Call::OpenFile);
        QCOMPARE(dialog.text, QStringLiteral("Select the codwaw.exe"));
        // Where programs carry no suffix, the game may also be a script.
        QCOMPARE(dialog.preset, HostSystem::programsCarrySuffix()
                                    ? QStringLiteral("File Type (*.exe)")
                                    : QStringLiteral("File Type (*.exe);;All files (*)"));
        QCOMPARE(dialog.folder, QDir::currentPath());
        QCOMPARE(inConfig<QLineEdit>("Text1")->text(), chosen);
        QCOMPARE(stored(), QStringList({"", ""}));
    }

    // Save keeps the edits (a browsed path too) across a restart; Cancel forgets them.
    void closingTheConfigWindow_data()
    {
        addTextRows({"button", "kept"}, {{"save", "Command2", "/elsewhere/CoDWaWmp.exe|new pw"},
                                         {"cancel", "Command3", "/games/CoDWaWmp.exe|old"}});
    }
    void closingTheConfigWindow()
    {
        QFETCH(QString, button);
        QFETCH(QString, kept);
        storeJoinSettings(QStringLiteral("/games/CoDWaWmp.exe"), QStringLiteral("old"));
        startMain();
        openConfig();
        m_dialogs.files.enqueue(QStringLiteral("/elsewhere/CoDWaWmp.exe"));
        QTest::mouseClick(inConfig<QPushButton>("Command1"), Qt::LeftButton);
        inConfig<QLineEdit>("Text2")->setText(QStringLiteral("new pw"));

        pressInConfig(qPrintable(button));

        QCOMPARE(stored(), kept.split(u'|'));
        QCOMPARE(QStringList({m_main->joinGame().txtiw3mp(), m_main->joinGame().txtserverpass()}),
                 kept.split(u'|'));
        m_main.reset();
        startMain();
        QCOMPARE(QStringList({m_main->joinGame().txtiw3mp(), m_main->joinGame().txtserverpass()}),
                 kept.split(u'|'));
    }

    // Without a password the command line keeps a bare "+password" (see TestGameLaunch).
    void joinStartsTheConfiguredProgram()
    {
        // A stand-in game in a folder with a blank in its name, which records what it got.
        const QString folder = test::scratchFolder() + QStringLiteral("/game folder");
        QVERIFY(QDir().mkpath(folder));
        const QString record = folder + QStringLiteral("/record.txt");
        const QString game = folder + QStringLiteral("/CoDWaWmp.exe");
        QFile::remove(record);
#ifdef Q_OS_WIN
        // A Windows program, started as Windows starts it, with one command line.
        QFile::remove(game);
        QVERIFY(QFile::copy(QStringLiteral(GARRISON_RECORDING_STAND_IN), game));
#else
        QVERIFY(test::writeFile(
            game,
            QStringLiteral("#!/bin/sh\n"
                           "{ pwd -P; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } "
                           "> '%1.part'\n"
                           "mv '%1.part' '%1'\n")
                .arg(record)
                .toLocal8Bit(),
            true));
#endif

        openConfig();
        inConfig<QLineEdit>("Text1")->setText(game);
        inConfig<QLineEdit>("Text2")->setText(QStringLiteral("s3cret"));
        pressInConfig("Command2");
        clickLabel("Label91");

        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QFile recorded(record);
        QVERIFY(recorded.open(QIODevice::ReadOnly));
        QStringList lines = QString::fromLocal8Bit(recorded.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.takeLast(), QString());
        QCOMPARE(QDir::fromNativeSeparators(lines.takeFirst()), QDir(folder).canonicalPath());
        QCOMPARE(lines, QStringList({"+connect", "127.0.0.1:28960", "+password", "s3cret"}));
        QVERIFY(m_dialogs.calls.isEmpty());
    }
};

GARRISON_TEST_MAIN(TestJoinServer)
#include "TestJoinServer.moc"
