#pragma once

#include "AccountStore.h"
#include "DaemonConfig.h"
#include "DaemonServer.h"
#include "FakeDialogs.h"
#include "PasswordHash.h"
#include "SimFixture.h"
#include "app/AppController.h"
#include "app/MainWindow.h"
#include "login/DaemonPins.h"
#include "login/LoginWindow.h"
#include "platform/SettingsStore.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace garrison::test {

// The real companion daemon and the simulated game server, both inside the test's process on
// 127.0.0.1, and the whole program logging in to them (only linked with garrisond_core). The
// account "alice" (password "alicepw") has the levels mp and admin.
class DaemonFixture {
protected:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<garrisond::DaemonServer> m_daemon;
    QSslSocket m_holder; // a client that takes the daemon's places before a login
    std::unique_ptr<SimFixture> m_sim;
    std::unique_ptr<AppController> m_app;
    FakeDialogs* m_dialogs = nullptr;

    QString file(const char* name) const { return m_dir->filePath(QLatin1String(name)); }
    void write(const char* name, const QByteArray& bytes)
    {
        QFile out(file(name));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
    }
    LoginWindow& login() { return *m_app->loginWindow(); }
    template <typename T> T* field(const char* name)
    {
        return login().findChild<T*>(QLatin1String(name));
    }
    // Fills the daemon's fields and the game server's (unless `serverFields` is false) and
    // presses Login.
    void logIn(const QString& user, const QString& password, const QString& level,
               const QString& daemonPort, const QString& daemonHost = QStringLiteral("127.0.0.1"),
               bool serverFields = true)
    {
        field<QAbstractButton>("Option1")->click();
        field<QLineEdit>("Text3")->setText(daemonHost);
        field<QLineEdit>("Text9")->setText(daemonPort);
        field<QLineEdit>("Text1")->setText(user);
        field<QLineEdit>("Text2")->setText(password);
        field<QComboBox>("Combo1")->setCurrentText(level);
        field<QLineEdit>("Text4")->setText(serverFields ? QStringLiteral("127.0.0.1") : QString());
        field<QLineEdit>("Text5")->setText(serverFields ? QString::number(m_sim->port())
                                                        : QString());
        field<QAbstractButton>("Command3")->click();
    }
    QString daemonPort() const { return QString::number(m_daemon->serverPort()); }
    void startDaemon(const QByteArray& extraConfig = QByteArray())
    {
        m_daemon.reset();
        write("garrisond.conf", "rcon_password = " + m_sim->password().toUtf8() +
                                    "\ngame_log = games_mp.log\npbkdf2_iterations = 1000\n"
                                    "server_command = /bin/sleep 60\nhealth_interval = 0s\n" +
                                    extraConfig);
        garrisond::DaemonConfig loaded;
        QString error;
        QVERIFY2(garrisond::DaemonConfig::load(file("garrisond.conf"), &loaded, &error),
                 qPrintable(error));
        m_daemon = std::make_unique<garrisond::DaemonServer>(loaded);
        QVERIFY2(m_daemon->start(QHostAddress::LocalHost, 0), qPrintable(m_daemon->errorString()));
        // Trusted before, so that the tests of the login itself see no certificate question.
        trust(m_daemon->fingerprint(), daemonPort());
    }
    static void trust(const QString& fingerprint, const QString& port)
    {
        DaemonPins::pin(SettingsStore::applicationName(), 0, QStringLiteral("127.0.0.1"), port,
                        fingerprint);
    }
    static QString trusted(const QString& port)
    {
        return DaemonPins::pinned(SettingsStore::applicationName(), 0, QStringLiteral("127.0.0.1"),
                                  port);
    }
    QStringList auditedLogins() const
    {
        QFile audit(file("garrisond-audit.log"));
        return audit.open(QIODevice::ReadOnly) ? QString::fromUtf8(audit.readAll())
                                                     .split(u'\n')
                                                     .filter(QStringLiteral(" login"))
                                               : QStringList();
    }
    // No levels: no account.
    void setAliceLevels(const QStringList& levels)
    {
        garrisond::AccountStore store(file("garrisond-accounts.json"));
        QString error;
        QVERIFY(store.load(&error));
        if (levels.isEmpty()) {
            store.remove(QStringLiteral("alice"));
        } else {
            store.put({QStringLiteral("alice"), garrisond::PasswordHash::create("alicepw", 1000),
                       levels});
        }
        QVERIFY(store.save(&error));
    }
    // The text of the only box shown, or how many there were.
    QString onlyBox() const
    {
        return m_dialogs->calls.size() == 1 ? m_dialogs->calls[0].text
                                            : QString::number(m_dialogs->calls.size()) + " boxes";
    }
    // Waits for the main window, and for its header chain (status, mapname, sv_hostname) to end
    // with the host name in place: until then its echoes may share a packet with what the test
    // sends next.
    void waitForSession()
    {
        QTRY_VERIFY_WITH_TIMEOUT(m_app->mainWindow() && m_app->mainWindow()->isVisible(), 5000);
        auto* hostName = m_app->mainWindow()->findChild<QLabel*>(QStringLiteral("Label6"));
        QTRY_VERIFY_WITH_TIMEOUT(hostName->text() != QLatin1String("loading..."), 10000);
        QTest::qWait(100);
    }
    // Logs in as alice with the given level and waits for the session.
    void startSession(const QString& level)
    {
        logIn(QStringLiteral("alice"), QStringLiteral("alicepw"), level, daemonPort());
        waitForSession();
    }

    // A fresh daemon, game server and program; the RCON password arrives while the grant box is
    // open, as it does from a daemon that answers at once.
    void setUpDaemonSession()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_sim = std::make_unique<SimFixture>();
        QVERIFY(m_sim->start());
        write("games_mp.log", "  0:00 InitGame: \\g_gametype\\tdm\n  0:05 J;123;0;Bob\n");
        setAliceLevels({QStringLiteral("mp"), QStringLiteral("admin")});
        startDaemon();

        auto dialogs = std::make_unique<FakeDialogs>();
        m_dialogs = dialogs.get();
        m_app = std::make_unique<AppController>(std::move(dialogs));
        m_app->setQuit([] {});
        m_app->showLoginWindow();
        m_dialogs->whileOpen = [this](const FakeDialogs::Call& call) {
            if (call.text.startsWith(QStringLiteral("Access Granted to "))) {
                QTRY_VERIFY_WITH_TIMEOUT(
                    m_app->mainWindow() && !m_app->mainWindow()->txtRcon().isEmpty(), 5000);
            }
        };
    }
    void tearDownDaemonSession()
    {
        m_holder.abort();
        m_app.reset();
        m_daemon.reset();
        m_sim.reset();
        m_dir.reset();
    }
};

} // namespace garrison::test
