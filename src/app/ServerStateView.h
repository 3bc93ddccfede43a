#pragma once

#include "login/DaemonEvent.h"

#include <QDateTime>
#include <QObject>
#include <QString>

class QLabel;
class QWidget;

namespace garrison {

class SessionNotes;

// How a main window shows its server's state: the header's line (lblServerState) and the
// window's title say that the server does not answer, or what the daemon's watch told of it;
// each change also goes to the status line and, where it matters, to the desktop.
class ServerStateView : public QObject {
    Q_OBJECT

public:
    ServerStateView(QWidget& window, QLabel& headerLine, SessionNotes& notes);

    // The server the window administers, for the title and the notifications.
    void setServer(const QString& hostName, const QString& address, const QString& port);
    // A new session: nothing is known of it yet.
    void startSession();
    void stoppedAnswering(const QDateTime& since);
    void answeringAgain(const QDateTime& since);
    void daemonEvent(const DaemonEvent& event);

    // "not answering since 23:57:12", or empty while the server answers.
    const QString& silence() const { return m_silence; }

private:
    void update();
    // The host name as shown, without colour codes; empty while it is not known.
    QString hostName() const;
    QString serverName() const;

    QWidget& m_window;
    QLabel& m_line;
    SessionNotes& m_notes;
    QString m_hostName;
    QString m_address;
    QString m_port;
    QString m_silence;
    QString m_silentAt;
    // What the daemon last said of a server that is not running; empty once it runs.
    QString m_daemonNote;
};

} // namespace garrison
