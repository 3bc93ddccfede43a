#pragma once

#include "rcon/QueriedServer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QMultiHash>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>
#include <functional>
#include <memory>
#include <vector>

namespace garrison {

// Asks any number of game servers "getinfo" and "getstatus" (no password needed) from one
// socket, and keeps one QueriedServer per server. Rows are numbered in the order the servers
// were added; removing one moves the later ones up, as in a table model.
//
// Servers of this family answer only a couple of connectionless queries per address every few
// seconds, so no server is asked more often than once every kMinimumIntervalMs, whoever asks.
// Every query carries a random challenge that the answer must echo, from the address and port
// it was sent to: spoofed answers and answers to an earlier query are dropped.
class ServerQuery : public QObject {
    Q_OBJECT

public:
    static constexpr int kMinimumIntervalMs = 5000;
    static constexpr int kDefaultReplyTimeoutMs = 3000;
    // Datagrams handled before the event loop gets its turn, so that a flood cannot freeze it.
    static constexpr int kReadBatch = 256;

    explicit ServerQuery(QObject* parent = nullptr);
    ~ServerQuery() override;

    int count() const { return static_cast<int>(m_entries.size()); }
    const QueriedServer& server(int row) const;
    // -1 when the server is not in the list; host is compared as it was added.
    int indexOf(const QString& host, quint16 port) const;
    // Appends the server and resolves its name, once; -1 (and nothing added) when it is in the
    // list already. Signals about the new row come later, from the event loop.
    int addServer(const QString& host, quint16 port);
    void removeServer(int row);

    // Asks every server whose last query is at least kMinimumIntervalMs old, now (a server
    // still being resolved as soon as it is).
    void refresh();
    // While running, every server is asked as soon as it is due; a new server at once.
    void start();
    void pause();
    bool isRunning() const { return m_running; }

    // How long a query waits for its answers before the server counts as not answering.
    void setReplyTimeoutMs(int ms) { m_replyTimeoutMs = ms; }
    // Milliseconds of a monotonic clock; the spacing of the queries and the pings use it.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

    // Binds the one socket; querying does it when needed. False, with the reason, when the
    // system gives no socket.
    bool open(QString* error = nullptr);
    quint16 localPort() const { return m_socket.localPort(); }
    // Datagrams that were no answer to an outstanding query of ours.
    quint64 droppedDatagrams() const { return m_dropped; }

Q_SIGNALS:
    void serverChanged(int row);
    // The server's query has ended: both answers came, the time ran out, or the host name
    // does not resolve.
    void queryFinished(int row);

private:
    struct Entry;
    using Source = std::pair<QHostAddress, quint16>;

    Entry* entryById(quint64 id) const;
    int rowOf(const Entry* entry) const;
    void resolved(quint64 id, const QHostAddress& address);
    bool isDue(const Entry& entry, qint64 time) const;
    void query(Entry& entry, quint64 round);
    void armTimeout(quint64 round);
    void expire(quint64 round);
    void scheduleNext();
    void runDue();
    void readPending();
    void handle(QByteArrayView datagram, const QHostAddress& from, quint16 port);
    void publish(Entry& entry);
    qint64 now() const { return m_clock(); }

    std::vector<std::unique_ptr<Entry>> m_entries;
    QMultiHash<Source, Entry*> m_bySource;
    QUdpSocket m_socket;
    QByteArray m_buffer;
    QTimer m_roundTimer;
    QElapsedTimer m_elapsed;
    std::function<qint64()> m_clock;
    quint64 m_nextId = 1;
    quint64 m_nextRound = 1;
    quint64 m_dropped = 0;
    int m_replyTimeoutMs = kDefaultReplyTimeoutMs;
    bool m_running = false;
    bool m_readScheduled = false;
};

} // namespace garrison
