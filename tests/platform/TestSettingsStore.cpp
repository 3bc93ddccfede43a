#include "TestMain.h"
#include "TextRows.h"
#include "platform/SettingsStore.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

using namespace garrison;
using garrison::test::addTextRows;

class TestSettingsStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void applicationNameIsTheExecutablesBaseName()
    {
        QCOMPARE(SettingsStore::applicationName(), QStringLiteral("TestSettingsStore"));
    }

    void valuesRoundTrip_data()
    {
        addTextRows({"section", "key", "value"},
                    {{"bracketed section", "[LOGIN1]", "Name", "My server"},
                     {"configs", "[Configs]", "Path", "C:\\Games\\CoDWaW\\CoDWaWmp.exe"},
                     {"awkward characters", "[LOGIN10]", "Pass", "a=b;[c]/d\\e \"f\" ümlaut"},
                     {"looks like a section", "[LOGIN2]", "Name", "[LOGIN3]\nName=x"},
                     {"empty value", "[LOGIN2]", "Levelz", ""}});
    }
    void valuesRoundTrip()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        SettingsStore::write(section, key, value);
        QCOMPARE(SettingsStore::read(section, key, QStringLiteral("default")), value);
    }

    // An absent key gives the default given, or an empty text.
    void sectionsAndApplicationsAreSeparate()
    {
        SettingsStore::write(QStringLiteral("[LOGIN3]"), QStringLiteral("Port"),
                             QStringLiteral("28960"));
        QCOMPARE(SettingsStore::read(QStringLiteral("[LOGIN4]"), QStringLiteral("Port"),
                                     QStringLiteral("55555")),
                 QStringLiteral("55555"));
        QCOMPARE(SettingsStore::read(QStringLiteral("[LOGIN4]"), QStringLiteral("Port")),
                 QString());
        QCOMPARE(SettingsStore::read(QStringLiteral("renamed"), QStringLiteral("[LOGIN3]"),
                                     QStringLiteral("Port"), QString()),
                 QString());
        SettingsStore::write(QStringLiteral("renamed"), QStringLiteral("[LOGIN3]"),
                             QStringLiteral("Port"), QStringLiteral("1"));
        QCOMPARE(SettingsStore::read(QStringLiteral("[LOGIN3]"), QStringLiteral("Port")),
                 QStringLiteral("28960"));
    }

    void fileIsReadableByItsOwnerOnly()
    {
        SettingsStore::write(QStringLiteral("fresh-app"), QStringLiteral("[LOGIN1]"),
                             QStringLiteral("Pass"), QStringLiteral("secret"));
#ifdef Q_OS_WIN
        // The user's own registry hive, which only that user (and administrators) may read.
        const QString key = QStringLiteral("HKEY_CURRENT_USER\\Software\\") +
                            SettingsStore::organization() + QStringLiteral("\\fresh-app");
        QCOMPARE(SettingsStore::location(QStringLiteral("fresh-app")), QLatin1Char('\\') + key);
        const QSettings registry(key, QSettings::NativeFormat);
        QCOMPARE(registry.value(QStringLiteral("[LOGIN1]/Pass")).toString(),
                 QStringLiteral("secret"));
        return;
#endif
        const QFileInfo file(SettingsStore::location(QStringLiteral("fresh-app")));
        QVERIFY(file.exists());
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QVERIFY(file.permissions().testFlag(QFile::ReadOwner));
        QCOMPARE(file.permissions() & others, QFile::Permissions());
    }
};

GARRISON_TEST_GUILESS_MAIN(TestSettingsStore)
#include "TestSettingsStore.moc"
