#include "FakeDialogs.h"
#include "SimFixture.h"
#include "TestMain.h"
#include "history/HistoryConnection.h"
#include "login/LoginWindow.h"
#include "platform/SecretStore.h"
#include "platform/SettingsStore.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>

using namespace garrison;
using garrison::test::FakeDialogs;
using garrison::test::SimFixture;

namespace {

const QString kApplication = QStringLiteral("TestSecretStore");

// What the Secret Service holds for a settings key, as any other client sees it.
QString inKeyring(const QString& section, const QString& key)
{
    QProcess lookup;
    lookup.start(QStringLiteral("secret-tool"),
                 {QStringLiteral("lookup"), QStringLiteral("server"), SecretStore::kService,
                  QStringLiteral("user"), kApplication + u'/' + section + u'/' + key});
    lookup.waitForFinished(5000);
    return QString::fromUtf8(lookup.readAllStandardOutput());
}

QByteArray settingsFile()
{
    QFile file(SettingsStore::location(kApplication));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// Passwords against a real Secret Service, which tests/platform/with-keyring starts for this
// test alone: the settings file keeps none of them.
class TestSecretStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("GARRISON_TEST_KEYRING"), "run through with-keyring");
        QVERIFY(SecretStore::instance().usesKeyring());
    }

    // Those that an older GARRISON left in the file move at the first start; the profile and
    // the history get them from the keyring.
    void passwordsMoveToTheKeyringAtStart()
    {
        const QList<std::array<QString, 3>> secrets{
            {QStringLiteral("[LOGIN1]"), QStringLiteral("Password"), QStringLiteral("daemon-pw1")},
            {QStringLiteral("[LOGIN1]"), QStringLiteral("Pass"), QStringLiteral("rcon-pw1")},
            {QStringLiteral("[History]"), QStringLiteral("Password"), QStringLiteral("pg-pw1")},
            {QStringLiteral("[UCON]"), QStringLiteral("Password"), QStringLiteral("ucon-pw1")}};
        for (const auto& [section, key, value] : secrets) {
            SettingsStore::write(kApplication, section, key, value);
        }
        FakeDialogs dialogs;
        LoginWindow window(dialogs);
        QTRY_VERIFY_WITH_TIMEOUT(!settingsFile().contains("-pw1"), 10000);
        for (const auto& [section, key, value] : secrets) {
            QCOMPARE(inKeyring(section, key), value);
        }
        window.LoadProfile(1);
        QTRY_COMPARE(window.findChild<QLineEdit*>(QStringLiteral("Text2"))->text(),
                     QStringLiteral("daemon-pw1"));
        // A request of its own, which may answer after the first.
        QTRY_COMPARE(window.findChild<QLineEdit*>(QStringLiteral("Text6"))->text(),
                     QStringLiteral("rcon-pw1"));
        QCOMPARE(HistoryConnection::fromSettings().password, QStringLiteral("pg-pw1"));
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Label3"))->text(), QString());
    }

    // A profile saved now never reaches the file, and garrison-rcon finds its password.
    void savedPasswordsGoToTheKeyringOnly()
    {
        sim::SimSettings settings = SimFixture::frozenSettings();
        settings.password = QStringLiteral("rcon-pw2");
        SimFixture sim(settings);
        QVERIFY(sim.start());
        FakeDialogs dialogs;
        LoginWindow window(dialogs);
        for (const auto& [name, text] : {std::pair{"Text4", QStringLiteral("127.0.0.1")},
                                         {"Text5", QString::number(sim.port())},
                                         {"Text6", settings.password},
                                         {"Text2", QStringLiteral("daemon-pw2")}}) {
            window.findChild<QLineEdit*>(QLatin1String(name))->setText(text);
        }
        window.SaveProfile(2);
        QTRY_COMPARE_WITH_TIMEOUT(inKeyring(QStringLiteral("[LOGIN2]"), QStringLiteral("Pass")),
                                  settings.password, 10000);
        QCOMPARE(inKeyring(QStringLiteral("[LOGIN2]"), QStringLiteral("Password")),
                 QStringLiteral("daemon-pw2"));
        QVERIFY(!settingsFile().contains("-pw2"));

        QProcess rcon;
        QSignalSpy finished(&rcon, &QProcess::finished);
        rcon.start(QStringLiteral(GARRISON_RCON_PROGRAM),
                   {QStringLiteral("--store"), kApplication, QStringLiteral("--profile"),
                    QStringLiteral("2"), QStringLiteral("--"), QStringLiteral("sv_hostname")});
        rcon.closeWriteChannel();
        QVERIFY(finished.wait(20000));
        QVERIFY2(rcon.exitCode() == 0, rcon.readAllStandardError().constData());
        QVERIFY(rcon.readAllStandardOutput().contains("CoDWaWHost"));
    }
};

GARRISON_TEST_MAIN(TestSecretStore)
#include "TestSecretStore.moc"
