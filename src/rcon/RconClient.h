#pragma once

#include "rcon/CommandSender.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QTimer>
#include <QUdpSocket>
#include <functional>
#include <optional>

namespace garrison {

class DaemonEcho;

// The one UDP socket to the game server's remote console, with the state by which replies
// are routed (LastCommand) and the one-slot deferral of WaitSend.
//
// Reception keeps the window alive under a flood: the socket is emptied quickly into a queue
// (so that the system's buffer does not overflow and drop datagrams), and the queue is handed
// on in slices of a few milliseconds, with a return to the event loop between two of them.
// The queue is bounded: what a server sends faster than the window hands it on is dropped
// once the queue is full, and counted with the system's own drops.
class RconClient : public QObject, public CommandSender {
    Q_OBJECT

public:
    // The system's buffer for received datagrams that the socket asks for (the system caps it).
    static constexpr int kReceiveBuffer = 4 * 1024 * 1024;
    // The queue holds as much as that buffer again, so it never drops what the system would have
    // kept. A 64-player status (under 8 KB) or a long serverinfo (a few KB) is handed on as it
    // comes and never nears it; only a flood fills it, and the window is through such a
    // backlog within a few seconds (about half a millisecond a datagram in a debug build)
    // instead of growing by gigabytes and draining long after the flood. The count bounds a
    // flood of tiny datagrams, each of which costs a handler's call.
    static constexpr qsizetype kMaxQueuedBytes = kReceiveBuffer;
    static constexpr qsizetype kMaxQueuedDatagrams = 4096;
    // Datagrams taken from the socket in one go.
    static constexpr int kReadBatch = 2048;
    // Time spent handing on received datagrams before the event loop gets its turn.
    static constexpr int kHandlingSliceMs = 8;
    // After a burst of this many datagrams at once, the system is asked whether it dropped any.
    static constexpr int kBurst = 32;
    static constexpr int kDropCheckMs = 250;

    struct Failure {
        int number = 0;
        QString description;
    };

    explicit RconClient(QObject* parent = nullptr);

    // (Re)opens the socket towards host:portText and sends "status". The socket is connected
    // to that one peer, so datagrams from anywhere else are never taken as replies.
    std::optional<Failure> Connect(const QString& host, const QString& portText,
                                   const QString& password);
    // Closes the socket and forgets datagrams not yet handed on; the deferral and LastCommand
    // stay as they are.
    void close();
    bool isOpen() const;
    // The next command goes out on a new socket to the same server.
    void renewSocket();

    void Send(const QString& cmd) override;
    void WaitSend(const QString& Cmdz) override;

    // "1" when the session runs through the daemon; anything else is direct.
    QString DaemonFlag() const { return m_daemonFlag; }
    void setDaemonFlag(const QString& flag) { m_daemonFlag = flag; }
    void setDaemonEcho(DaemonEcho* echo) { m_daemonEcho = echo; }

    QString LastCommand() const { return m_lastCommand; }
    QString PendingCommand() const { return m_pendingCommand; }
    // Empties the deferral slot without sending: a new session must not receive a command
    // that the previous one deferred.
    void cancelDeferral();
    // Milliseconds since the last command left or the last datagram was handed on; a command
    // sent now would have its reply mixed with the tail of one still arriving.
    qint64 quietMs() const { return m_activity.elapsed(); }

    // Shared by the deferral (Timer2, waits for 2) and the list publication (Timer3, waits for
    // 3). Each timer stops once the counter has reached its own target, so two overlapping
    // timers that both count it up cannot run past each other forever.
    QString TickCounter() const { return m_tickCounter; }
    void setTickCounter(const QString& value) { m_tickCounter = value; }
    int tickValue() const { return m_tickCounter.toInt(); }
    void advanceTick() { m_tickCounter = QString::number(tickValue() + 1); }

    QTimer& Timer2() { return m_timer2; }
    QUdpSocket& socket() { return m_socket; }

    // The echo line that Send adds to the console for a command sent at the given time.
    static QString echoLine(const QString& cmd, const QTime& time);
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

Q_SIGNALS:
    // A command is about to leave at the given time; LastCommand is already this command.
    void commandSent(const QString& cmd, const QDateTime& at);
    // A command was sent: the text to append to the console.
    void echoed(const QString& text);
    // One datagram from the server, as it arrived.
    void datagramReceived(const QByteArray& datagram);
    // The system or the full queue dropped this many datagrams since the last report: they
    // came faster than the window could take them.
    void datagramsLost(quint64 count);

private:
    void onTimer2();
    void readPending();
    // True when it stopped at the batch size: more may be waiting.
    bool takeFromSocket();
    void rearmReading();
    void enqueue(const QByteArray& datagram);
    void handleReceived();
    bool ensureConnected();
    void checkDrops();

    struct Peer {
        QHostAddress address;
        quint16 port = 0;
    };

    QUdpSocket m_socket;
    std::optional<Peer> m_peer;
    QTimer m_timer2;
    QElapsedTimer m_activity;
    QTimer m_reading;
    QTimer m_handling;
    QTimer m_dropCheck;
    // What the system had dropped for this socket at the last look.
    quint64 m_drops = 0;
    // Dropped because the queue was full, since the last report.
    quint64 m_queueDrops = 0;
    QQueue<QByteArray> m_received;
    qsizetype m_receivedBytes = 0;
    QByteArray m_spare;
    QString m_password;
    QString m_daemonFlag;
    QString m_lastCommand;
    QString m_pendingCommand;
    QString m_tickCounter;
    DaemonEcho* m_daemonEcho = nullptr;
    std::function<QDateTime()> m_clock;
};

} // namespace garrison
