#include "FakeDialogs.h"
#include "TestMain.h"
#include "TextRows.h"
#include "login/ConnectionProfiles.h"
#include "login/LoginWindow.h"
#include "platform/SettingsStore.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>

using namespace garrison;
using garrison::test::addTextRows;
using garrison::test::FakeDialogs;

namespace {

const char* const kFields[] = {"Text3", "Text9", "Text1", "Text2",
                               "Text4", "Text6", "Text5", "Text7"};

QString storeFile()
{
    return SettingsStore::location(SettingsStore::applicationName());
}

} // namespace

class TestConnectionProfiles : public QObject {
    Q_OBJECT

    FakeDialogs m_dialogs;

    template <typename T = QLineEdit> static T* find(LoginWindow& window, const QString& name)
    {
        return window.findChild<T*>(name);
    }
    static QComboBox* levels(LoginWindow& window) { return find<QComboBox>(window, "Combo1"); }

private Q_SLOTS:
    void init()
    {
        // A file on Linux, a registry key on Windows: cleared the same way.
        QSettings(storeFile(), QSettings::NativeFormat).clear();
        m_dialogs = FakeDialogs();
    }

    void saveThenLoadRoundTrips_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("daemonMode");
        QTest::newRow("plain, direct mode") << "192.0.2.1" << false;
        QTest::newRow("plain, daemon mode") << "192.0.2.1" << true;
        QTest::newRow("awkward characters")
            << QStringLiteral(u" a b = [c] / \\ \"d\" 'e' ; Jörg Ürgen ") << false;
    }
    void saveThenLoadRoundTrips()
    {
        QFETCH(QString, value);
        QFETCH(bool, daemonMode);
        {
            LoginWindow window(m_dialogs);
            if (daemonMode) {
                window.findChild<QAbstractButton*>(QStringLiteral("Option1"))->click();
            }
            int i = 0;
            for (const char* name : kFields) {
                find(window, name)->setText(value + QString::number(i++));
            }
            levels(window)->setCurrentIndex(1);
            m_dialogs.texts.enqueue(QStringLiteral("Home server"));
            find<QAction>(window, "ss3")->trigger();
        }
        QCOMPARE(m_dialogs.calls.size(), 1);
        QCOMPARE(m_dialogs.calls[0].text, QStringLiteral("Please enter a name for the server"));
        QCOMPARE(m_dialogs.calls[0].caption, QStringLiteral("GARRISON - ADD SERVER"));
        QCOMPARE(m_dialogs.calls[0].preset, QStringLiteral("New Server"));

        // A new window (as after a restart) shows the name, loads every field and then takes
        // the login type the profile was saved in.
        LoginWindow window(m_dialogs);
        QCOMPARE(find<QAction>(window, "LoadServer3z")->text(), QStringLiteral("Home server"));
        find<QAction>(window, "LoadServer3z")->trigger();
        int i = 0;
        // The passwords come from the keyring when it answers, where one is used (Windows).
        for (const char* name : kFields) {
            const QString expected = value + QString::number(i++);
            QTRY_COMPARE(find(window, name)->text(), expected);
        }
        QCOMPARE(levels(window)->currentText(), QStringLiteral("admin"));
        QCOMPARE(window.isDaemonMode(), daemonMode);
        QCOMPARE(find(window, "Text6")->isEnabled(), !daemonMode);

        // The values are in the store, not only in a cache of this process; the type is a key
        // of its own beside the others.
        QSettings onDisk(storeFile(), QSettings::NativeFormat);
        QCOMPARE(onDisk.value(QStringLiteral("[LOGIN3]/IPAddress")).toString(), value + "4");
        QCOMPARE(onDisk.value(QStringLiteral("[LOGIN3]/LoginType")).toString(),
                 daemonMode ? QStringLiteral("Daemon") : QStringLiteral("RCON"));
        QCOMPARE(onDisk.value(QStringLiteral("[LOGIN3]/Levelz")).toString(),
                 QStringLiteral("admin"));

        // A profile without the type leaves the window's as it is.
        SettingsStore::write(QStringLiteral("[LOGIN6]"), QStringLiteral("IPAddress"), value);
        find<QAction>(window, "ls6")->trigger();
        QCOMPARE(window.isDaemonMode(), daemonMode);
    }

    void cancelledNameIsStoredEmpty()
    {
        {
            LoginWindow window(m_dialogs);
            m_dialogs.texts.enqueue(std::nullopt);
            find<QAction>(window, "ss10")->trigger();
            // Saving does not rename the item until the window is loaded again.
            QCOMPARE(find<QAction>(window, "ls10")->text(), QStringLiteral("Load Server 10"));
        }
        LoginWindow window(m_dialogs);
        QCOMPARE(find<QAction>(window, "ls10")->text(), QString());
        QCOMPARE(SettingsStore::read(QStringLiteral("[LOGIN10]"), QStringLiteral("Name"),
                                     QStringLiteral("absent")),
                 QString());
    }

    void storedLevelSelectsOnlyAnExactItem_data()
    {
        addTextRows({"stored", "selected"}, {{"admin", "admin", "admin"},
                                             {"mp", "mp", "mp"},
                                             {"Admin", "Admin", "poweradmin"},
                                             {"empty", "", "poweradmin"},
                                             {"blank", " mp", "poweradmin"}});
    }
    // Slot 5 holds only a level: loading it clears every other field (the relay port falls back
    // to 55555).
    void storedLevelSelectsOnlyAnExactItem()
    {
        QFETCH(QString, stored);
        QFETCH(QString, selected);
        SettingsStore::write(QStringLiteral("[LOGIN5]"), QStringLiteral("Levelz"), stored);
        LoginWindow window(m_dialogs);
        for (const char* name : kFields) {
            find(window, name)->setText(QStringLiteral("something"));
        }
        levels(window)->setCurrentIndex(2);
        find<QAction>(window, "ls5")->trigger();
        QCOMPARE(levels(window)->currentText(), selected);
        for (const char* name : kFields) {
            QCOMPARE(find(window, name)->text(),
                     QByteArray(name) == "Text7" ? QStringLiteral("55555") : QString());
        }
    }

    void garbageInTheStoreIsSurvived()
    {
#ifdef Q_OS_WIN
        QSKIP("the registry keeps typed values, not a file that could be damaged");
#endif
        QDir().mkpath(QFileInfo(storeFile()).absolutePath());
        {
            QFile file(storeFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("\x01\x02 garbage\n[%5BLOGIN2%5D]\nName=Kept\nPort=28961\n"
                                  "\xFF\xFE\x00zz=\n[broken\nno equals sign\n[%5BLOGIN4%5D]\nNam",
                                  95));
        }
        LoginWindow window(m_dialogs);
        QCOMPARE(find<QAction>(window, "LoadServer1")->text(), QStringLiteral("Load Server 1"));
        QCOMPARE(find<QAction>(window, "LoadServer2z")->text(), QStringLiteral("Kept"));
        m_dialogs.texts.enqueue(QStringLiteral("New"));
        find<QAction>(window, "ss1")->trigger();

        QCOMPARE(ConnectionProfiles::caption(1), QStringLiteral("New"));
        QCOMPARE(ConnectionProfiles::caption(2), QStringLiteral("Kept"));
        QCOMPARE(ConnectionProfiles::load(2).serverPort, QStringLiteral("28961"));
    }

    // A profile chosen in the server list logs in as it was saved: in its saved login type, a
    // daemon profile through its daemon whatever RCON password was left in it. Without a saved
    // type, with an RCON password straight to the game server, without one through its daemon;
    // with neither, the window waits for the password.
    void profileFromTheListLogsInAsSaved_data()
    {
        QTest::addColumn<QString>("rconPassword");
        QTest::addColumn<bool>("daemonSaved");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("RCON password") << "pw" << false << ""
                                       << "direct";
        QTest::newRow("RCON password and daemon") << "pw" << true << ""
                                                  << "direct";
        QTest::newRow("daemon only") << "" << true << ""
                                     << "daemon";
        QTest::newRow("neither") << "" << false << ""
                                 << "password";
        QTest::newRow("daemon type, RCON password left") << "pw" << true << "Daemon"
                                                         << "daemon";
        QTest::newRow("RCON type beside a daemon") << "pw" << true << "RCON"
                                                   << "direct";
        QTest::newRow("RCON type without password") << "" << true << "RCON"
                                                    << "password";
    }
    void profileFromTheListLogsInAsSaved()
    {
        QFETCH(QString, rconPassword);
        QFETCH(bool, daemonSaved);
        QFETCH(QString, type);
        QFETCH(QString, outcome);
        QTcpServer daemon;
        QVERIFY(daemon.listen(QHostAddress::LocalHost));
        ProfileFields fields;
        fields.serverAddress = QStringLiteral("127.0.0.1");
        fields.serverPort = QStringLiteral("28960");
        fields.relayPort = QStringLiteral("55555");
        fields.rconPassword = rconPassword;
        if (daemonSaved) {
            fields.daemonAddress = QStringLiteral("127.0.0.1");
            fields.daemonPort = QString::number(daemon.serverPort());
            fields.userName = QStringLiteral("alice");
            fields.password = QStringLiteral("secret");
            fields.level = QStringLiteral("admin");
        }
        fields.loginType = type;
        ConnectionProfiles::save(4, fields, QStringLiteral("Four"));
        LoginWindow window(m_dialogs);
        window.show();
        QSignalSpy direct(&window, &LoginWindow::directLoginRequested);

        window.loginWithProfile(4);

        // The Credential Manager answers from the event loop: the login follows its answer.
        if (outcome == u"direct") {
            QTRY_COMPARE_WITH_TIMEOUT(direct.size(), 1, 5000);
            QCOMPARE(direct.at(0), (QVariantList{"127.0.0.1", "28960", "pw"}));
        } else if (outcome == u"daemon") {
            QTRY_VERIFY_WITH_TIMEOUT(daemon.hasPendingConnections(), 5000);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(window.focusWidget(), find(window, "Text6"), 5000);
        }
        QCOMPARE(window.isDaemonMode(), outcome == u"daemon");
        QCOMPARE(direct.size(), outcome == u"direct" ? 1 : 0);
        QVERIFY(m_dialogs.calls.isEmpty());
    }
};

GARRISON_TEST_MAIN(TestConnectionProfiles)
#include "TestConnectionProfiles.moc"
