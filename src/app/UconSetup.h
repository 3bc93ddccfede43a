#pragma once

#include "ucon/UconIni.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QEventLoop;
class QWidget;

namespace garrison {

class ChatPage;
class CommandSender;
class ProgressWindow;
class RelayLogWorker;

// What the chat-page button does on its first click in a run: registers this machine as a UCON
// user on the server, then starts the relay and the tail of its log into the chat box. Later
// clicks, also ones that arrive while the setup still runs, find the one-time flag set.
class UconSetup : public QObject {
    Q_OBJECT

public:
    static constexpr int kStepWaitMs = 1000;

    struct Step {
        QString caption;
        QString command;
        int waitMs = 0;
    };
    static QList<Step> steps(const UconIdentity& identity);

    // Waits between two steps. The default runs a local event loop so the windows keep painting.
    using Wait = std::function<void(int ms)>;

    // window: the parent of the progress window (the main window).
    UconSetup(CommandSender& sender, ChatPage& chat, QWidget* window);
    ~UconSetup() override;

    void firstVisit(const UconIdentity& identity);
    bool started() const { return m_started; }
    // The session ends (exit, log out): a registration still under way sends nothing more and
    // starts no relay; the next session's first visit begins it again.
    void cancel();

    // A session with the server at serverKey ("host:port") begins. Until the relay runs, it is
    // given a folder of its own for that server, with the ini file the login has just written
    // into the application folder: relays of servers administered at once then neither share
    // nor delete each other's files.
    void takeServer(const QString& serverKey);
    // Ends the relay of this window's folder, and the tail; relays of other windows run on.
    void endRelay();

    void setWait(Wait wait) { m_wait = std::move(wait); }
    RelayLogWorker& worker() { return *m_worker; }
    // The progress window Loadingfdf while the registration runs, else null.
    ProgressWindow* progressWindow() const;

private:
    CommandSender& m_sender;
    ChatPage& m_chat;
    QWidget* m_window;
    RelayLogWorker* m_worker;
    QPointer<ProgressWindow> m_progress;
    QPointer<QEventLoop> m_waitLoop;
    Wait m_wait;
    bool m_started = false;
    bool m_running = false;
    bool m_cancelled = false;
};

} // namespace garrison
