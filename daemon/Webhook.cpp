#include "Webhook.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>

namespace garrisond {

Webhook::Webhook(QObject* parent) : QObject(parent)
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &Webhook::pump);
    m_refill.start();
}

Webhook::~Webhook()
{
    if (m_inFlight != nullptr) {
        m_inFlight->disconnect(this);
        m_inFlight->abort();
    }
}

std::optional<Webhook::Format> Webhook::parseFormat(const QString& text)
{
    if (text == QLatin1String("discord")) {
        return Format::Discord;
    }
    if (text == QLatin1String("json")) {
        return Format::Json;
    }
    return std::nullopt;
}

bool Webhook::isUsableUrl(const QUrl& url, QString* error)
{
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        *error = QStringLiteral("webhook_url needs an http:// or https:// address");
        return false;
    }
    return true;
}

void Webhook::configure(const QUrl& url, Format format, const QString& server)
{
    m_url = url;
    m_format = format;
    m_server = server;
    if (m_url.isEmpty()) {
        m_waiting.clear();
    }
}

// The address's secret (Discord's token is in the path) stays out of messages.
QString Webhook::where() const
{
    return m_url.toString(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery);
}

void Webhook::send(const Notification& notification)
{
    if (!isEnabled()) {
        return;
    }
    const QByteArray body = m_format == Format::Discord ? notification.discordPayload(m_server)
                                                        : notification.jsonPayload(m_server);
    if (m_waiting.size() >= kMaxWaiting) {
        // The one in flight (the first) keeps its place.
        m_waiting.removeAt(m_inFlight != nullptr ? 1 : 0);
        ++m_dropped;
        report(QStringLiteral("webhook %1 does not keep up: %2 notifications dropped")
                   .arg(where())
                   .arg(m_dropped));
    }
    m_waiting.append({body, notification.event, 0});
    pump();
}

void Webhook::pump()
{
    if (m_inFlight != nullptr || m_waiting.isEmpty() || m_wait.isActive() || !isEnabled()) {
        return;
    }
    m_tokens = std::min<double>(kBurst, m_tokens + double(m_refill.restart()) / kSpacingMs);
    if (m_tokens < 1) {
        m_wait.start(static_cast<int>((1 - m_tokens) * kSpacingMs) + 1);
        return;
    }
    m_tokens -= 1;
    if (m_network == nullptr) {
        m_network = new QNetworkAccessManager(this);
    }
    QNetworkRequest request(m_url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("garrisond"));
    request.setTransferTimeout(kTimeoutMs);
    // A redirected POST may turn into a GET elsewhere: a webhook that moved is reported instead.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    m_inFlight = m_network->post(request, m_waiting.constFirst().body);
    connect(m_inFlight, &QNetworkReply::finished, this, &Webhook::finished);
}

void Webhook::finished()
{
    QNetworkReply* reply = std::exchange(m_inFlight, nullptr);
    reply->deleteLater();
    if (m_waiting.isEmpty()) {
        return; // switched off meanwhile
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && status >= 200 && status < 300) {
        m_waiting.removeFirst();
        Q_EMIT delivered();
        pump();
        return;
    }
    const QString why = status != 0 ? QStringLiteral("HTTP %1").arg(status) : reply->errorString();
    if (status == 429) {
        bool ok = false;
        const int seconds = reply->rawHeader("Retry-After").trimmed().toInt(&ok);
        retry(ok ? std::clamp(seconds, 1, 60) * 1000 : 0, why);
    } else if (status == 0 || status >= 500) {
        retry(0, why);
    } else {
        const QString event = m_waiting.takeFirst().event;
        report(
            QStringLiteral("webhook %1 refused the %2 notification: %3").arg(where(), event, why));
        pump();
    }
}

void Webhook::retry(int waitMs, const QString& why)
{
    Pending& first = m_waiting.first();
    if (++first.tries >= kTries) {
        const QString event = m_waiting.takeFirst().event;
        report(QStringLiteral("webhook %1: the %2 notification is dropped after %3 tries: %4")
                   .arg(where(), event)
                   .arg(kTries)
                   .arg(why));
        pump();
        return;
    }
    m_wait.start(waitMs > 0 ? waitMs : 1000 << first.tries);
}

void Webhook::report(const QString& text)
{
    if (m_reported.isValid() && m_reported.elapsed() < 60000) {
        ++m_unreported;
        return;
    }
    Q_EMIT warning(
        m_unreported == 0
            ? text
            : text + QStringLiteral(" (and %1 more reports this minute)").arg(m_unreported));
    m_unreported = 0;
    m_reported.start();
}

} // namespace garrisond
