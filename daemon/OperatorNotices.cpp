#include "OperatorNotices.h"

#include "ConnectionAdmission.h"
#include "DaemonConfig.h"
#include "GameEvents.h"
#include "GameServerControl.h"

namespace garrisond {

OperatorNotices::OperatorNotices(GameServerControl& game, GameEvents& events, Clock clock,
                                 QObject* parent)
    : QObject(parent), m_events(events), m_clock(std::move(clock))
{
    connect(&game, &GameServerControl::notified, this, &OperatorNotices::notify);
    connect(&m_webhook, &Webhook::warning, this, &OperatorNotices::warning);
    m_events.addSink(&m_eventWebhook);
}

OperatorNotices::~OperatorNotices()
{
    m_events.removeSink(&m_eventWebhook);
}

void OperatorNotices::configure(const DaemonConfig& config)
{
    m_webhook.configure(config.webhookUrl, config.webhookFormat, config.notificationName());
    m_eventWebhook.setRepeatWindow(config.alertRepeatWindow);
    m_ipv6PrefixBits = config.ipv6PrefixBits;
}

void OperatorNotices::notify(const QString& event, const QString& text, const QJsonObject& fields)
{
    m_webhook.send(Notification{event, m_clock(), text, fields});
}

void OperatorNotices::notifyLogin(const QString& account, const QString& level,
                                  const QString& address)
{
    notify(QStringLiteral("login"),
           QStringLiteral("%1 logged in as %2 from %3").arg(account, level, address),
           {{QStringLiteral("who"), account},
            {QStringLiteral("level"), level},
            {QStringLiteral("address"), address}});
}

void OperatorNotices::notifyRefusal(const QString& address, const QString& claimed,
                                    const QString& text)
{
    if (!m_webhook.isEnabled()) {
        return;
    }
    const QString key = ConnectionAdmission::addressKey(address, m_ipv6PrefixBits);
    const QDateTime at = m_clock();
    const auto last = m_refusalsNotified.constFind(key);
    if (last != m_refusalsNotified.cend() && last->secsTo(at) < kRefusalGapSeconds) {
        return;
    }
    if (m_refusalsNotified.size() > 1000) {
        m_refusalsNotified.removeIf([&at](const QHash<QString, QDateTime>::iterator it) {
            return it.value().secsTo(at) >= kRefusalGapSeconds;
        });
    }
    m_refusalsNotified.insert(key, at);
    notify(QStringLiteral("refused"), text,
           {{QStringLiteral("address"), address}, {QStringLiteral("login"), claimed}});
}

} // namespace garrisond
