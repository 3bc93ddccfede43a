#pragma once

#include "control/CurrentValues.h"

#include <QTimer>
#include <QWidget>
#include <memory>

namespace Ui {
class AdminPage;
}

namespace garrison {

class CommandSender;
class Dialogs;

// The Admin page seeAdmin: private slots, bans and bad names, Punkbuster, the server's
// information, restart, start and stop, and in daemon sessions the daemon's watch over it.
class AdminPage : public QWidget {
    Q_OBJECT

public:
    AdminPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent = nullptr);
    ~AdminPage() override;

    // The published ban list or bad-name list (Text10).
    void setListText(const QString& text);
    QString listText() const;
    // A new session: no list, the boxes as the page opens.
    void startSession();
    // The daemon's "SERVERSTATE" answer; its note, if any, goes to the status line.
    void showServerState(const QString& report);
    // Outside a daemon session there is no watch to show.
    void showWatchUnavailable();
    // The server's current value of a variable, beside the field that sets it.
    void showServerValue(const QString& variable, const QString& value);
    // While the page is in view: its variables' current values are wanted (valuesRequested).
    void requestValues();

Q_SIGNALS:
    // Something for the main window's status line.
    void statusMessage(const QString& text);
    // Emitted just before a ban list or bad-name list is asked for, so that the list buffer
    // can be emptied and the box shows only the newest list.
    void listRequested();
    // "Start Server" and "Stop Server", which act through the daemon administration.
    void startServerRequested();
    void stopServerRequested();
    // Whenever the page is shown, and on "Refresh".
    void serverStateRequested();
    // The page came into view: the current values of these variables are wanted.
    void valuesRequested(const QStringList& variables);
    void skipRestartRequested();
    void restartNowRequested();
    // "Ban List…".
    void banListRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // These three return whether the command went out.
    bool setPrivateSlots();
    bool setSlotsPassword();
    void requestBanList();
    bool unban();
    void addBadName();
    void requestBadNameList();
    void restartPunkbuster();
    void restartServer();
    void screenshotAllPlayers();

    const std::unique_ptr<Ui::AdminPage> m_ui;
    CommandSender& m_sender;
    Dialogs& m_dialogs;
    CurrentValues m_values;
    // Asks again once a restart under way should be over.
    QTimer m_watchRefresh;
};

} // namespace garrison
