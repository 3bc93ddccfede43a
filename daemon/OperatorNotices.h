#pragma once

#include "GameEventWebhook.h"
#include "Webhook.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <functional>

namespace garrisond {

class GameEvents;
class GameServerControl;
struct DaemonConfig;

// What the operator is told through the webhook, and from where: the watch's notifications
// (crashes, restarts, kicks and bans), administrators' logins, the refused logins of a locked-out
// address, and the game log's alerts and reports. The webhook serves them by priority, so that
// no flood of the game's can hide the others.
class OperatorNotices : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    // A crowd guessing passwords would send one notification per guess: one per address (an
    // IPv6 network) in this time.
    static constexpr qint64 kRefusalGapSeconds = 60;

    OperatorNotices(GameServerControl& game, GameEvents& events, Clock clock,
                    QObject* parent = nullptr);
    ~OperatorNotices() override;

    void configure(const DaemonConfig& config);
    Webhook& webhook() { return m_webhook; }

    void notify(const QString& event, const QString& text, const QJsonObject& fields);
    void notifyLogin(const QString& account, const QString& level, const QString& address);
    void notifyRefusal(const QString& address, const QString& claimed, const QString& text);

Q_SIGNALS:
    void warning(const QString& text);

private:
    GameEvents& m_events;
    Clock m_clock;
    Webhook m_webhook;
    GameEventWebhook m_eventWebhook{m_webhook};
    int m_ipv6PrefixBits = 56;
    // Per address, when its refused logins were last notified.
    QHash<QString, QDateTime> m_refusalsNotified;
};

} // namespace garrisond
