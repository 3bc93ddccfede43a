#pragma once

#include "login/ConnectionProfiles.h"
#include "login/DaemonLink.h"
#include "ucon/UconIni.h"

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>

namespace Ui {
class LoginWindow;
}

class QLineEdit;
class QWidget;

namespace garrison {

class Dialogs;

// The login window Form4: connection fields, the two connection types, saved profiles, and
// the one entry to a session, DONELoad.
class LoginWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit LoginWindow(Dialogs& dialogs, QWidget* parent = nullptr);
    ~LoginWindow() override;

    // The one entry to the main window: rewrites the relay's ini file, then starts the
    // session of the selected connection type.
    void DONELoad();
    void UCONLoad();

    void LoadProfile(int slot);
    void SaveProfile(int slot);

    // From the server list: fills the fields as the profile's load item does, then logs in as
    // the profile holds it (ConnectionProfiles::loginOf).
    void loginWithProfile(int slot);
    // From the server list, for an address without a profile: the server's address and port,
    // and the RCON password left to type (one typed before was for another server).
    void fillServer(const QString& host, const QString& port);

    bool isDaemonMode() const;
    DaemonLink& daemonLink() { return m_link; }
    const QString& statusz() const { return m_link.statusz(); }
    // The daemon user name, for the command echo of a daemon session.
    QString userName() const;
    // The game server's address and port as the fields hold them now.
    QString serverHost() const;
    QString serverPort() const;

    // Where this machine's address comes from; tests may fix it.
    void setLocalAddressSource(std::function<QString()> source);

Q_SIGNALS:
    // UCONLoad made these values; the main window keeps them for the relay's registration.
    void uconIdentityPrepared(const garrison::UconIdentity& identity);
    // Direct RCON: the fields are complete; the session can start.
    void directLoginRequested(const QString& host, const QString& port,
                              const QString& rconPassword);
    void quitRequested();
    void serverListRequested();
    // SaveProfile wrote this slot.
    void profileSaved(int slot);
    // Daemon mode: the daemon granted access; the main window takes over the session.
    void daemonAccessGranted(const QString& level, const QString& daemonHost,
                             const QString& serverHost, const QString& serverPort);
    void rconPasswordArrived(const QString& password);
    void daemonLogArrived(const QString& log);
    // The daemon link dropped during a session; the user has been told.
    void daemonLinkLost();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void enterPressed();
    void orderTabs(bool daemonMode);
    void applyFieldColours();
    void selectDaemonMode();
    void selectRconMode();
    void startDaemonLogin();
    void logInAs(ConnectionProfiles::Login login);
    void takeServerAddress();
    void grantOrDeny();
    void denyAccess(const QString& advice);
    void showLinkLost();
    void showRefusal(const QString& reason, bool inSession);
    void askToTrust(const QString& presented, const QString& pinned);
    void forgetCertificate();
    void setFieldEnabled(QWidget* field, bool enabled);
    QList<QAction*> loadItems() const;
    QList<QAction*> saveItems() const;

    const std::unique_ptr<Ui::LoginWindow> m_ui;
    Dialogs& m_dialogs;
    std::function<QString()> m_localAddress;
    DaemonLink m_link;
    // The profile the fields were loaded from or saved to last; 0 for none.
    int m_profileSlot = 0;
    int m_loads = 0;
};

} // namespace garrison
