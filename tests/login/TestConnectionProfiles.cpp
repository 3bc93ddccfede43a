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
        QFile::remove(storeFile());
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

        // A new window (as after a restart) shows the name and loads every field.
        LoginWindow window(m_dialogs);
        QCOMPARE(find<QAction>(window, "LoadServer3z")->text(), QStringLiteral("Home server"));
        find<QAction>(window, "LoadServer3z")->trigger();
        int i = 0;
        for (const char* name : kFields) {
            QCOMPARE(find(window, name)->text(), value + QString::number(i++));
        }
        QCOMPARE(levels(window)->currentText(), QStringLiteral("admin"));

        // The values are on disk, not only in a cache of this process.
        QSettings onDisk(storeFile(), QSettings::IniFormat);
        QCOMPARE(onDisk.value(QStringLiteral("[LOGIN3]/IPAddress")).toString(), value + "4");
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
};

GARRISON_TEST_MAIN(TestConnectionProfiles)
#include "TestConnectionProfiles.moc"
