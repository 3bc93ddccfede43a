#pragma once

#include "DaemonMessage.h"
#include "GameServerProcess.h"
#include "ServerWatch.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <functional>

namespace garrisond {

struct DaemonConfig;

// The game server that garrisond starts and watches, as the clients reach it: "startserver",
// the watch's "serverstate", "skiprestart" and "restartnow", and the stop and moderation
// commands they echo. What comes of it goes out as signals: records for the audit log,
// notifications for the webhook, warnings for the operator, and the server's state changes
// for the administrators following the events.
class GameServerControl : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    explicit GameServerControl(QObject* parent = nullptr);

    void configure(const DaemonConfig& config);
    void setClock(Clock clock);

    GameServerProcess& process() { return m_process; }
    const GameServerProcess& process() const { return m_process; }
    ServerWatch& watch() { return m_watch; }

    void start(const QString& address, const QString& who);
    // "serverstate", "skiprestart" and "restartnow": the answer, the watch's state.
    QByteArray request(DaemonMessage::Kind kind, const QString& address, const QString& who);
    // After the echo is recorded: a stop is expected, a kick or ban is notified.
    void commandEchoed(const QString& address, const QString& who, const QString& command);

Q_SIGNALS:
    void audited(const QString& address, const QString& who, const QString& event,
                 const QString& detail = QString());
    void notified(const QString& event, const QString& text, const QJsonObject& fields);
    void warning(const QString& text);
    // An "EVENT server" line, for the admin sessions that follow the events.
    void serverEvent(const QByteArray& line);

private:
    void watchEvent(const ServerWatch::Event& event);

    Clock m_clock;
    QString m_statePath; // the skipped restarts, beside the accounts
    bool m_hasCommand = false;
    GameServerProcess m_process;
    // After the game server: it is gone before the server's last stop.
    ServerWatch m_watch{m_process};
};

} // namespace garrisond
