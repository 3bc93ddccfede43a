#include "FakeDialogs.h"
#include "TestMain.h"
#include "login/LoginWindow.h"
#include "platform/AppFolder.h"
#include "platform/SecretStore.h"
#include "platform/SettingsStore.h"
#include "ucon/UconPassword.h"
#ifdef Q_OS_WIN
#include "platform/CredentialVault.h"
#endif

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>

using namespace garrison;
using garrison::test::FakeDialogs;

namespace {

QByteArray readFile(const QString& name)
{
    QFile file(AppFolder::filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& name, const QByteArray& content)
{
    QFile file(AppFolder::filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class TestLoginWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<LoginWindow> m_window;

    template <typename T> T* child(const char* name)
    {
        return m_window->findChild<T*>(QLatin1String(name));
    }
    void fill(const char* name, const QString& text) { child<QLineEdit>(name)->setText(text); }
    // Where a user clicks an option: on its circle, not in the empty middle of a wide row.
    void choose(const char* option)
    {
        auto* button = child<QRadioButton>(option);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
    }

private Q_SLOTS:
    void init()
    {
        m_dialogs = std::make_unique<FakeDialogs>();
        m_window = std::make_unique<LoginWindow>(*m_dialogs);
        m_window->setLocalAddressSource([] { return QStringLiteral("192.0.2.7"); });
        m_window->show();
    }
    void cleanup()
    {
        m_window.reset();
        m_dialogs.reset();
    }

    // First: the note comes once per run, to the first window. Without a keyring (these tests
    // have no session bus) a saved password stays in the settings file, readable by its owner.
    void withoutAKeyringTheFileKeepsThePasswords()
    {
#ifdef Q_OS_WIN
        // The Credential Manager is always there: no note; the password goes there, and the
        // registry keeps the key with an empty value.
        fill("Text6", QStringLiteral("rcon-secret"));
        m_window->SaveProfile(5);
        const QString target = SettingsStore::organization() + QLatin1Char('/') +
                               SettingsStore::applicationName() + QStringLiteral("/[LOGIN5]/Pass");
        QTRY_COMPARE(CredentialVault::read(target).secret, QStringLiteral("rcon-secret"));
        QCOMPARE(SettingsStore::read(QStringLiteral("[LOGIN5]"), QStringLiteral("Pass"),
                                     QStringLiteral("absent")),
                 QString());
        FakeDialogs dialogs;
        LoginWindow second(dialogs);
        second.LoadProfile(5);
        QTRY_COMPARE(second.findChild<QLineEdit*>(QStringLiteral("Text6"))->text(),
                     QStringLiteral("rcon-secret"));
        QCOMPARE(child<QLabel>("Label3")->text(), QString());
        CredentialVault::remove(target);
#else
        const QString note = QStringLiteral("No keyring (no desktop session bus): saved passwords "
                                            "stay in the settings file, readable by you only.");
        QTRY_COMPARE(child<QLabel>("Label3")->text(), note);
        fill("Text6", QStringLiteral("rcon-secret"));
        m_window->SaveProfile(5);
        QFile store(SettingsStore::location(SettingsStore::applicationName()));
        QVERIFY(store.open(QIODevice::ReadOnly) && store.readAll().contains("rcon-secret"));
        QCOMPARE(store.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        FakeDialogs dialogs;
        LoginWindow second(dialogs);
        second.LoadProfile(5);
        QCOMPARE(second.findChild<QLineEdit*>(QStringLiteral("Text6"))->text(),
                 QStringLiteral("rcon-secret"));
        QTest::qWait(50);
        QCOMPARE(second.findChild<QLabel*>(QStringLiteral("Label3"))->text(), QString());
#endif
    }

    void modeSwitchSetsEnablingAndColours_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<bool>("enabledInDaemonMode");
        QTest::addColumn<bool>("enabledInRconMode");
        for (const char* name : {"Text3", "Text9", "Text1", "Text2", "Combo1"}) {
            QTest::newRow(name) << QByteArray(name) << true << false;
        }
        QTest::newRow("Text6") << QByteArray("Text6") << false << true;
        for (const char* name : {"Text4", "Text5", "Text7"}) {
            QTest::newRow(name) << QByteArray(name) << true << true;
        }
    }
    void modeSwitchSetsEnablingAndColours()
    {
        QFETCH(QByteArray, field);
        QFETCH(bool, enabledInDaemonMode);
        QFETCH(bool, enabledInRconMode);
        const QColor white(255, 255, 255);
        const QColor buttonFace = m_window->palette().color(QPalette::Button);
        const auto check = [&](bool enabled) {
            QCOMPARE(child<QWidget>(field)->isEnabled(), enabled);
            QCOMPARE(child<QWidget>(field)->palette().color(QPalette::Base),
                     enabled ? white : buttonFace);
        };

        // The window opens in direct mode with no level chosen.
        check(enabledInRconMode);
        QCOMPARE(child<QComboBox>("Combo1")->currentIndex(), -1);
        // Both passwords stay hidden on screen.
        QCOMPARE(child<QLineEdit>("Text2")->echoMode(), QLineEdit::Password);
        QCOMPARE(child<QLineEdit>("Text6")->echoMode(), QLineEdit::Password);
        choose("Option1");
        check(enabledInDaemonMode);
        QVERIFY(child<QPushButton>("Command3")->isEnabled());
        QVERIFY(!child<QPushButton>("Command1")->isEnabled());
        QCOMPARE(m_window->focusWidget(), child<QWidget>("Text3"));

        choose("Option2");
        check(enabledInRconMode);
        QVERIFY(!child<QPushButton>("Command3")->isEnabled());
        QVERIFY(child<QPushButton>("Command1")->isEnabled());
        QCOMPARE(m_window->focusWidget(), child<QWidget>("Text4"));
    }

    void connectNeedsEveryDirectField_data()
    {
        QTest::addColumn<QByteArray>("emptyField");
        for (const char* name : {"Text4", "Text5", "Text6", "Text7"}) {
            QTest::newRow(name) << QByteArray(name);
        }
    }
    void connectNeedsEveryDirectField()
    {
        QFETCH(QByteArray, emptyField);
        writeFile(QStringLiteral("pbucon.log"), "old log");
        writeFile(QStringLiteral("codwaw.ini"), "old ini");
        fill("Text4", QStringLiteral("198.51.100.4"));
        fill("Text5", QStringLiteral("28960"));
        fill("Text6", QStringLiteral("pw"));
        fill(emptyField.constData(), QString());
        QSignalSpy requested(m_window.get(), &LoginWindow::directLoginRequested);

        QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);

        QCOMPARE(requested.size(), 0);
        QCOMPARE(m_dialogs->calls.size(), 1);
        const FakeDialogs::Call& box = m_dialogs->calls.constFirst();
        QCOMPARE(box.text,
                 QStringLiteral("Please type Server IP , Port , UCON Port and Rcon password"));
        QCOMPARE(box.caption, QStringLiteral("GARRISON"));
        QCOMPARE(box.icon, BoxIcon::Information);
        // The relay's files are rewritten before the fields are checked.
        QVERIFY(readFile(QStringLiteral("codwaw.ini")).startsWith("server="));
        QVERIFY(!QFile::exists(AppFolder::filePath(QStringLiteral("pbucon.log"))));
        QVERIFY(m_window->isVisible());
    }

    void portFieldsTakeDigitsOnly()
    {
        choose("Option1"); // every port field open for typing
        for (const char* name : {"Text5", "Text9", "Text7"}) {
            auto* port = child<QLineEdit>(name);
            port->clear();
            QTest::keyClicks(port, QStringLiteral("2a8:9-6 0123"));
            QCOMPARE(port->text(), QStringLiteral("28960"));
        }
    }

    void connectHandsTheFieldsOnUnchanged()
    {
        fill("Text4", QStringLiteral(" 198.51.100.4 "));
        fill("Text5", QStringLiteral("28960"));
        fill("Text6", QStringLiteral("p w"));
        QSignalSpy identity(m_window.get(), &LoginWindow::uconIdentityPrepared);
        QSignalSpy requested(m_window.get(), &LoginWindow::directLoginRequested);

        QTest::keyClick(child<QLineEdit>("Text6"), Qt::Key_Return);

        QCOMPARE(requested.size(), 1);
        QCOMPARE(requested.at(0), (QVariantList{" 198.51.100.4 ", "28960", "p w"}));
        QCOMPARE(identity.size(), 1);
        const auto ucon = identity.at(0).at(0).value<UconIdentity>();
        QCOMPARE(ucon.localAddress, QStringLiteral("192.0.2.7"));
        QCOMPARE(ucon.loginName, QStringLiteral("GARRISON-192.0.2.7"));
        QCOMPARE(readFile(QStringLiteral("codwaw.ini")),
                 "server= 198.51.100.4 :28960\r\nmyaddr=192.0.2.7:55556\r\n"
                 "login=GARRISON-192.0.2.7\r\npassword=" +
                     ucon.password.toLatin1() + "\r\n");
        QVERIFY(m_dialogs->calls.isEmpty());
    }

    // Made at random at the first login, then kept with the passwords: every later login's ini
    // file and registration use it, and one kept by an earlier version is taken over.
    void uconPasswordIsMadeOnceThenKept_data()
    {
        QTest::addColumn<QString>("kept");
        QTest::newRow("first login") << QString();
        QTest::newRow("kept before") << QStringLiteral("Kept0123456789");
    }
    void uconPasswordIsMadeOnceThenKept()
    {
        QFETCH(QString, kept);
        SecretStore& secrets = SecretStore::instance();
        const QString application = SettingsStore::applicationName();
        secrets.write(application, UconPassword::kSection, UconPassword::kKey, kept);
        QSignalSpy identity(m_window.get(), &LoginWindow::uconIdentityPrepared);
        m_window->UCONLoad();
        m_window->UCONLoad();
        QCOMPARE(identity.size(), 2);
        const QString password = identity.at(0).at(0).value<UconIdentity>().password;
        QCOMPARE(identity.at(1).at(0).value<UconIdentity>().password, password);
        if (kept.isEmpty()) {
            QVERIFY(
                QRegularExpression(QStringLiteral("^[A-Za-z0-9]{%1}$").arg(UconPassword::kLength))
                    .match(password)
                    .hasMatch());
            QVERIFY(UconPassword::generate() != password);
        } else {
            QCOMPARE(password, kept);
        }
        QCOMPARE(secrets.readNow(application, UconPassword::kSection, UconPassword::kKey),
                 password);
        QVERIFY(readFile(QStringLiteral("codwaw.ini"))
                    .endsWith("\r\npassword=" + password.toLatin1() + "\r\n"));
    }

    void daemonModeConnectWithoutAGrantIsDenied()
    {
        choose("Option1");
        fill("Text1", QStringLiteral("alice"));
        QSignalSpy requested(m_window.get(), &LoginWindow::directLoginRequested);
        QSignalSpy granted(m_window.get(), &LoginWindow::daemonAccessGranted);
        m_window->DONELoad();
        QCOMPARE(requested.size() + granted.size(), 0);
        QCOMPARE(m_dialogs->calls.size(), 1);
        QCOMPARE(m_dialogs->calls[0].text,
                 QStringLiteral("Access Denied to alice : Check is password, username and level "
                                "are correct!"));
        QCOMPARE(m_dialogs->calls[0].caption, QStringLiteral("GARRISON"));
        QVERIFY(!child<QPushButton>("Command1")->isEnabled());
        // The relay's ini file is written in daemon mode too.
        QCOMPARE(readFile(QStringLiteral("codwaw.ini")).left(8), QByteArray("server=:"));
    }
};

GARRISON_TEST_MAIN(TestLoginWindow)
#include "TestLoginWindow.moc"
