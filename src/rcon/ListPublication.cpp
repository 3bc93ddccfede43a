#include "ListPublication.h"

#include "platform/BoundedText.h"
#include "rcon/RconClient.h"
#include "rcon/ReplyRouter.h"

namespace garrison {

namespace {
constexpr int kTickInterval = 1000;
constexpr int kPublicationTarget = 3;
} // namespace

ListPublication::ListPublication(RconClient& client, QObject* parent)
    : QObject(parent), m_client(client)
{
    m_timer3.setObjectName(QStringLiteral("Timer3"));
    m_timer3.setInterval(kTickInterval);
    connect(&m_timer3, &QTimer::timeout, this, &ListPublication::onTimer3);
}

void ListPublication::append(const QString& replyText)
{
    m_listBuffer += replyText;
    BoundedText::keepNewest(m_listBuffer, BoundedText::kListBufferChars);
    if (!m_timer3.isActive()) {
        m_timer3.start();
    }
}

void ListPublication::onTimer3()
{
    if (m_client.tickValue() < kPublicationTarget) {
        m_client.advanceTick();
        return;
    }
    m_timer3.stop();
    Q_EMIT published(ReplyRouter::publishList(m_listBuffer));
}

} // namespace garrison
