#pragma once

#include "daemon/DaemonAdmin.h"
#include "rcon/AnswerWatch.h"
#include "rcon/CommandSender.h"
#include "rcon/ListPublication.h"
#include "rcon/PlayerGridModel.h"
#include "rcon/RconClient.h"
#include "rcon/ReplyRouter.h"
#include "rcon/StatusReply.h"
#include "ucon/UconIni.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}

class QLabel;
class QToolButton;

namespace garrison {

class AdminPage;
class ChatPage;
class ConsoleBox;
class Dialogs;
class History;
class HistoryPage;
class JoinServerConfig;
class MapsPage;
class PlayerMenu;
class PlayersPage;
class ReaderWindow;
class SettingsPage;
class TellWindow;
class TerminalPage;
class ToolsMenu;
class UconSetup;

// The main window Main: header, page buttons, pages, and the session's hidden fields. It owns
// the RCON client; every command of every window goes out through its Send and WaitSend.
class MainWindow : public QWidget, public CommandSender {
    Q_OBJECT

public:
    enum class Page { Players, Chat, Settings, Maps, Admin, Terminal, History };

    explicit MainWindow(Dialogs& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override;

    // What the login window hands over before Connect.
    void takeLoginValues(const QString& host, const QString& port, const QString& rconPassword);
    void keepUconIdentity(const UconIdentity& identity);
    // Daemon sessions: the grant, and the RCON password the daemon hands out (whenever it comes).
    void takeDaemonGrant(const QString& level, const QString& daemonHost, const QString& host,
                         const QString& port);
    void setRconPassword(const QString& password) { m_txtRcon = password; }
    void IdentDaemon(const QString& Result);

    // Opens the socket and sends "status"; on failure shows the error box, asks for the
    // login window and returns false. Starts the session first (startSession).
    bool Connect();
    // Every page and window forgets the previous server: header, grid, lists, transcripts,
    // boxes, reader, tell window, menus. What is the user's stays: the commands typed in this
    // run, the grid's sort order, the automatic refresh, the join settings, window places.
    // The page shown stays unless this session may not open it.
    void startSession();
    void Disconnect();

    void Send(const QString& cmd) override;
    void WaitSend(const QString& Cmdz) override;

    // Shows the page and remembers it for the next run.
    void showPage(Page page);
    Page currentPage() const;
    // At the first session of a run: the page shown last, as far as this user may open it.
    void restoreLastPage();

    // The line at the bottom of the window: the last command sent, the server's refusals, and
    // whatever else the user should see without a box.
    void showStatus(const QString& text);

    RconClient& rcon() { return m_rcon; }
    ReaderWindow& reader() { return *m_reader; }
    PlayersPage& playersPage() { return *m_players; }
    ChatPage& chatPage() { return *m_chat; }
    TellWindow& tellWindow() { return *m_tell; }
    PlayerMenu& playerMenu() { return *m_playerMenu; }
    ToolsMenu& toolsMenu() { return *m_toolsMenu; }
    UconSetup& uconSetup() { return *m_uconSetup; }
    ConsoleBox& console();
    History& history() { return *m_history; }
    HistoryPage& historyPage() { return *m_historyPage; }
    // Who acts in daemon sessions, for the history's action log ("rcon" in direct mode).
    void setDaemonUser(const QString& user) { m_daemonUser = user; }
    // What the history knows of a grid row's player, for the name's tooltip; empty if nothing.
    QString historyText(const PlayerRow& row) const;

    // The session's hidden fields.
    const QString& Text3() const { return m_Text3; }
    const QString& Text4() const { return m_Text4; }
    const QString& txtRcon() const { return m_txtRcon; }
    const QString& level() const { return m_level; }
    const QString& txtiw3mp() const { return m_txtiw3mp; }
    const QString& txtserverpass() const { return m_txtserverpass; }
    // The reply accumulator: what came since "status" was last sent, not yet a whole table.
    const QString& Text6() const { return m_statusReply.text(); }
    const UconIdentity& uconIdentity() const { return m_ucon; }
    void setLevel(const QString& level) { m_level = level; }
    // txtiw3mp and txtserverpass, after the join configuration was saved.
    void setJoinSettings(const QString& path, const QString& password);

    PlayerGridModel& gridModel() { return m_gridModel; }
    void setDaemonRequests(DaemonRequests* requests) { m_daemonAdmin.setRequests(requests); }
    // The daemon's answer about its watch over the game server, for the Admin page.
    void showServerState(const QString& report);
    ListPublication& lists() { return m_lists; }

Q_SIGNALS:
    void loginWindowRequested();
    void exitRequested();
    // Routed replies for the settings and admin pages.
    void indicatorParsed(garrison::ReplyRouter::Indicator indicator, bool on);
    void listPublished(const QString& text10);
    // Something worth a line in the status bar happened (a copy to the clipboard).
    void statusMessage(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Form_Load();
    void receive(const QByteArray& datagram);
    void dispatch(const QString& ReplyText);
    void takeMapReply(const QString& ReplyText);
    void switchPage(Page page);
    bool pageAllowed() const;
    bool commandLineAllowed() const;
    void takeStatusTable(const StatusParser::StatusTable& table);
    void commandSent(const QString& cmd, const QDateTime& at);
    void refusePassword();
    void endWatching();
    void gatedPage(Page page);
    void autoRefresh();
    void rememberWindow();
    void openTerminal();
    void logOut();
    void exitProgram();
    void joinServer();
    void openJoinServerConfig();
    QString serverKey() const;
    void recordAction(const QStringList& cells, const QString& command, const QString& reason);
    void openHistory(const QStringList& cells);

    const std::unique_ptr<Ui::MainWindow> m_ui;
    Dialogs& m_dialogs;
    RconClient m_rcon;
    PlayerGridModel m_gridModel;
    ListPublication m_lists{m_rcon};
    StatusReply m_statusReply;
    AnswerWatch m_answerWatch;
    std::unique_ptr<ReaderWindow> m_reader;
    DaemonAdmin m_daemonAdmin;
    std::unique_ptr<TellWindow> m_tell;
    std::unique_ptr<PlayerMenu> m_playerMenu;
    std::unique_ptr<ToolsMenu> m_toolsMenu;

    PlayersPage* m_players = nullptr;
    ChatPage* m_chat = nullptr;
    SettingsPage* m_settings = nullptr;
    MapsPage* m_maps = nullptr;
    AdminPage* m_admin = nullptr;
    TerminalPage* m_terminal = nullptr;
    QPointer<JoinServerConfig> m_joinConfig;
    UconSetup* m_uconSetup = nullptr;
    QLabel* m_noAnswer = nullptr;
    QLabel* m_statusLine = nullptr;
    std::unique_ptr<History> m_history;
    HistoryPage* m_historyPage = nullptr;
    QString m_daemonUser;
    QStringList m_warnedCells;
    QTimer m_refreshRetry;

    QString m_Text3;
    QString m_Text4;
    QString m_txtRcon;
    QString m_level;
    QString m_RconType;
    QString m_txtiw3mp;
    QString m_txtserverpass;
    UconIdentity m_ucon;
    bool m_ending = false;
    bool m_refusingPassword = false;
};

} // namespace garrison
