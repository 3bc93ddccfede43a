#include "FakeDialogs.h"
#include "TestMain.h"
#include "app/MainWindow.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

using namespace garrison;
using garrison::test::FakeDialogs;

namespace {
const QString kSection = QStringLiteral("[Configs]");

void storeJoinSettings(const QString& path, const QString& password)
{
    SettingsStore::write(kSection, QStringLiteral("Path"), path);
    SettingsStore::write(kSection, QStringLiteral("ServerPass"), password);
}
QString storedPath()
{
    return SettingsStore::read(kSection, QStringLiteral("Path"));
}
QString storedPassword()
{
    return SettingsStore::read(kSection, QStringLiteral("ServerPass"));
}
} // namespace

class TestJoinServer : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<MainWindow> m_main;

    // A new main window, as at a program start: it reads the join settings when it loads.
    void startMain()
    {
        m_main = std::make_unique<MainWindow>(*m_dialogs);
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
        m_dialogs = std::make_unique<FakeDialogs>();
        startMain();
    }
    void cleanup()
    {
        m_main.reset();
        m_dialogs.reset();
    }

    void joinWithoutExecutableAsksToConfigure()
    {
        clickLabel("Label91");

        QCOMPARE(m_dialogs->calls.size(), 1);
        const FakeDialogs::Call& box = m_dialogs->calls.first();
        QCOMPARE(box.kind, FakeDialogs::Call::Message);
        QCOMPARE(box.text, QStringLiteral("You need to config this first!"));
        QCOMPARE(box.caption, QStringLiteral("Config!"));
        QCOMPARE(box.icon, BoxIcon::Critical);
        QVERIFY(configWindow());
        QVERIFY(configWindow()->isVisible());
        QVERIFY(!configWindow()->isModal());
    }

    void configWindowShowsTheCurrentValues()
    {
        m_main->setJoinSettings(QStringLiteral("/games/CoDWaWmp.exe"), QStringLiteral("pw"));
        openConfig();

        QCOMPARE(inConfig<QLineEdit>("Text1")->text(), QStringLiteral("/games/CoDWaWmp.exe"));
        QCOMPARE(inConfig<QLineEdit>("Text2")->text(), QStringLiteral("pw"));

        // A second "(config)" brings the open window forward, edits and all.
        inConfig<QLineEdit>("Text2")->setText(QStringLiteral("edited"));
        clickLabel("Label92");
        QCOMPARE(m_main->findChildren<QWidget*>(QStringLiteral("joinserverconfig")).size(), 1);
        QCOMPARE(inConfig<QLineEdit>("Text2")->text(), QStringLiteral("edited"));
    }

    void browseSetsThePath_data()
    {
        QTest::addColumn<QString>("chosen"); // empty: the dialog is cancelled
        QTest::newRow("file chosen") << QStringLiteral("/games/cod waw/CoDWaWmp.exe");
        QTest::newRow("cancelled") << QString();
    }
    void browseSetsThePath()
    {
        QFETCH(QString, chosen);
        m_main->setJoinSettings(QStringLiteral("/old/CoDWaWmp.exe"), QString());
        openConfig();
        if (!chosen.isEmpty()) {
            m_dialogs->files.enqueue(chosen);
        }

        QTest::mouseClick(inConfig<QPushButton>("Command1"), Qt::LeftButton);

        QCOMPARE(m_dialogs->calls.size(), 1);
        const FakeDialogs::Call& dialog = m_dialogs->calls.first();
        QCOMPARE(dialog.kind, FakeDialogs::Call::OpenFile);
        QCOMPARE(dialog.text, QStringLiteral("Select the codwaw.exe"));
        QCOMPARE(dialog.preset, QStringLiteral("File Type (*.exe);;All files (*)"));
        QCOMPARE(dialog.folder, QDir::currentPath());
        QCOMPARE(inConfig<QLineEdit>("Text1")->text(), chosen);
        QCOMPARE(storedPath(), QString());
    }

    void savePersistsAcrossARestart()
    {
        openConfig();
        inConfig<QLineEdit>("Text1")->setText(QStringLiteral("D:\\CoD\\CoDWaWmp.exe"));
        inConfig<QLineEdit>("Text2")->setText(QStringLiteral("join pw"));

        pressInConfig("Command2");

        QCOMPARE(storedPath(), QStringLiteral("D:\\CoD\\CoDWaWmp.exe"));
        QCOMPARE(storedPassword(), QStringLiteral("join pw"));
        QCOMPARE(m_main->txtiw3mp(), QStringLiteral("D:\\CoD\\CoDWaWmp.exe"));
        QCOMPARE(m_main->txtserverpass(), QStringLiteral("join pw"));

        m_main.reset();
        startMain();
        QCOMPARE(m_main->txtiw3mp(), QStringLiteral("D:\\CoD\\CoDWaWmp.exe"));
        QCOMPARE(m_main->txtserverpass(), QStringLiteral("join pw"));
    }

    void cancelAfterEditsChangesNothing()
    {
        storeJoinSettings(QStringLiteral("/games/CoDWaWmp.exe"), QStringLiteral("old"));
        startMain();
        openConfig();
        m_dialogs->files.enqueue(QStringLiteral("/elsewhere/CoDWaWmp.exe"));
        QTest::mouseClick(inConfig<QPushButton>("Command1"), Qt::LeftButton);
        inConfig<QLineEdit>("Text2")->setText(QStringLiteral("new"));

        pressInConfig("Command3");

        QCOMPARE(storedPath(), QStringLiteral("/games/CoDWaWmp.exe"));
        QCOMPARE(storedPassword(), QStringLiteral("old"));
        QCOMPARE(m_main->txtiw3mp(), QStringLiteral("/games/CoDWaWmp.exe"));
        QCOMPARE(m_main->txtserverpass(), QStringLiteral("old"));
    }

    // Without a password the command line keeps a bare "+password" (see TestGameLaunch).
    void joinStartsTheConfiguredProgram()
    {
        // A stand-in game in a folder with a blank in its name, which records what it got.
        const QDir scratch(test::scratchFolder());
        const QString folder = scratch.filePath(QStringLiteral("game folder"));
        QVERIFY(QDir().mkpath(folder));
        const QString record = QDir(folder).filePath(QStringLiteral("record.txt"));
        QFile::remove(record);
        const QString game = QDir(folder).filePath(QStringLiteral("CoDWaWmp.exe"));
        QFile script(game);
        QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write(QStringLiteral("#!/bin/sh\n"
                                    "{ pwd -P; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } "
                                    "> '%1.part'\n"
                                    "mv '%1.part' '%1'\n")
                         .arg(record)
                         .toLocal8Bit());
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

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
        QCOMPARE(lines.takeFirst(), QDir(folder).canonicalPath());
        QCOMPARE(lines, QStringList({"+connect", "127.0.0.1:28960", "+password", "s3cret"}));
        QVERIFY(m_dialogs->calls.isEmpty());
    }
};

GARRISON_TEST_MAIN(TestJoinServer)
#include "TestJoinServer.moc"
