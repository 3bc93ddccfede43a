#pragma once

#include "app/PageNavigator.h"
#include "app/PlayerActions.h"
#include "bans/BanSource.h"
#include "daemon/DaemonAdmin.h"
#include "session/ServerSession.h"
#include "ucon/UconIni.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}

namespace garrison {

class AdminPage;
class BanListWindow;
class ChatPage;
class ConsoleBox;
class Dialogs;
class History;
class HistoryBanSource;
class HistoryPage;
class JoinGame;
class MapsPage;
class PlayerMenu;
class PlayersPage;
class ReaderWindow;
class ServerStateView;
class SessionNotes;
class SettingsPage;
class TellWindow;
class TerminalPage;
class ToolsMenu;
class UconSetup;

// The main window Main: the view of one server's session. It shows the header, the pages and
// the grid as the session publishes them, and every page, menu and window sends through the
// session's Send and WaitSend.
class MainWindow : public QWidget, public CommandSender {
    Q_OBJECT

public:
    using Page = PageNavigator::Page;

    // history: shared by every main window of the program; without one the window opens its own.
    explicit MainWindow(Dialogs& dialogs, std::shared_ptr<History> history = {},
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    ServerSession& session() { return *m_session; }

    // What the login window hands over before Connect.
    void takeLoginValues(const QString& host, const QString& port, const QString& rconPassword)
    {
        m_session->takeLoginValues(host, port, rconPassword);
    }
    void keepUconIdentity(const UconIdentity& identity) { m_ucon = identity; }
    void takeDaemonGrant(const QString& level, const QString& daemonHost, const QString& host,
                         const QString& port)
    {
        m_session->takeDaemonGrant(level, daemonHost, host, port);
    }
    void setRconPassword(const QString& password) { m_session->setRconPassword(password); }
    void IdentDaemon(const QString& Result) { m_session->IdentDaemon(Result); }

    // Opens the socket and sends "status"; on failure shows the error box, asks for the
    // login window and returns false. Starts the session first (startSession).
    bool Connect();
    // Every page and window forgets the previous server: header, grid, lists, transcripts,
    // boxes, reader, tell window, menus. What is the user's stays: the commands typed in this
    // run, the grid's sort order, the automatic refresh, the join settings, window places.
    // The page shown stays unless this session may not open it.
    void startSession();
    void Disconnect() { m_session->Disconnect(); }

    void Send(const QString& cmd) override { m_session->Send(cmd); }
    void WaitSend(const QString& Cmdz) override { m_session->WaitSend(Cmdz); }

    // Shows the page and remembers it for the next run.
    void showPage(Page page) { m_navigator->showPage(page); }
    Page currentPage() const { return m_navigator->currentPage(); }
    // At the first session of a run: the page shown last, as far as this user may open it.
    void restoreLastPage() { m_navigator->restoreLastPage(); }

    // The line at the bottom of the window: the last command sent, the server's refusals, and
    // whatever else the user should see without a box.
    void showStatus(const QString& text);

    ReaderWindow& reader() { return *m_reader; }
    PlayersPage& playersPage() { return *m_players; }
    ChatPage& chatPage() { return *m_chat; }
    TellWindow& tellWindow() { return m_actions->tellWindow(); }
    PlayerMenu& playerMenu() { return m_actions->playerMenu(); }
    ToolsMenu& toolsMenu() { return *m_toolsMenu; }
    UconSetup& uconSetup() { return *m_uconSetup; }
    JoinGame& joinGame() { return *m_joinGame; }
    ConsoleBox& console();
    History& history() { return *m_history; }
    HistoryPage& historyPage() { return *m_historyPage; }
    void setDaemonUser(const QString& user);
    // What the history knows of a grid row's player, for the name's tooltip; empty if nothing.
    QString historyText(const PlayerRow& row) const { return m_actions->historyText(row); }

    // The session's hidden fields.
    const QString& Text3() const { return m_session->Text3(); }
    const QString& Text4() const { return m_session->Text4(); }
    const QString& txtRcon() const { return m_session->txtRcon(); }
    const QString& level() const { return m_session->level(); }
    void setLevel(const QString& level) { m_session->setLevel(level); }
    const UconIdentity& uconIdentity() const { return m_ucon; }

    void setDaemonRequests(DaemonRequests* requests) { m_daemonAdmin.setRequests(requests); }
    // The bans of a daemon session come from its daemon: whoever logs in through garrisond
    // hands its source over here (null when there is none). Direct sessions keep their bans in
    // the player history. Takes effect at the next startSession.
    void setDaemonBanSource(BanSource* source) { m_daemonBans = source; }
    // The ban source of the current session; null when it has none.
    BanSource* banSource() const;
    BanListWindow& banList() { return *m_banList; }
    // Shows the ban list window, raised.
    void openBanList();
    // The daemon's answer about its watch over the game server, for the Admin page.
    void showServerState(const QString& report);

    // The settings key of this server's window geometry, and the one kept before windows were
    // remembered per server (the fallback).
    static QString geometryKey(const QString& serverKey);
    static inline const QString kGeometryKey = QStringLiteral("MainGeometry");

Q_SIGNALS:
    void loginWindowRequested();
    // Another login, for a session in a window of its own.
    void newLoginRequested();
    void exitRequested();
    void serverListRequested();
    // Something worth a line in the status bar happened (a copy to the clipboard).
    void statusMessage(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildPages();
    void wireSession();
    void showHeader();
    void refusePassword();
    void autoRefresh();
    void rememberWindow();
    void logOut();
    void exitProgram();

    const std::unique_ptr<Ui::MainWindow> m_ui;
    Dialogs& m_dialogs;
    const std::unique_ptr<ServerSession> m_session;
    std::shared_ptr<History> m_history;
    std::unique_ptr<ReaderWindow> m_reader;
    DaemonAdmin m_daemonAdmin;
    std::unique_ptr<ToolsMenu> m_toolsMenu;
    std::unique_ptr<HistoryBanSource> m_historyBans;
    QPointer<BanSource> m_daemonBans;

    PlayersPage* m_players = nullptr;
    ChatPage* m_chat = nullptr;
    SettingsPage* m_settings = nullptr;
    MapsPage* m_maps = nullptr;
    AdminPage* m_admin = nullptr;
    TerminalPage* m_terminal = nullptr;
    HistoryPage* m_historyPage = nullptr;
    BanListWindow* m_banList = nullptr;
    JoinGame* m_joinGame = nullptr;
    PlayerActions* m_actions = nullptr;
    UconSetup* m_uconSetup = nullptr;
    PageNavigator* m_navigator = nullptr;
    SessionNotes* m_notes = nullptr;
    ServerStateView* m_stateView = nullptr;
    UconIdentity m_ucon;
    bool m_ending = false;
};

} // namespace garrison
