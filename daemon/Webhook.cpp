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
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(kDeadlineMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (m_inFlight != nullptr) {
            m_inFlight->abort();
        }
    });
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
        m_posting.reset();
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
    Pending pending{m_format == Format::Discord ? notification.discordPayload(m_server)
                                                : notification.jsonPayload(m_server),
                    notification.event, Notification::priorityOf(notification.event), 0};
    if (waiting() >= kMaxWaiting && !m_waiting.isEmpty()) {
        // The oldest of the lowest priority goes, unless the newcomer is lower still; the one
        // being posted keeps its place.
        qsizetype dropped = 0;
        for (qsizetype i = 1; i < m_waiting.size(); ++i) {
            if (m_waiting.at(i).priority > m_waiting.at(dropped).priority) {
                dropped = i;
            }
        }
        QString event = pending.event;
        if (m_waiting.at(dropped).priority >= pending.priority) {
            event = m_waiting.takeAt(dropped).event;
            m_waiting.append(std::move(pending));
        }
        ++m_dropped;
        report(
            QStringLiteral("webhook %1 does not keep up: %2 notifications dropped (the last: %3)")
                .arg(where())
                .arg(m_dropped)
                .arg(event));
    } else {
        m_waiting.append(std::move(pending));
    }
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
    qsizetype next = 0;
    for (qsizetype i = 1; i < m_waiting.size(); ++i) {
        if (m_waiting.at(i).priority < m_waiting.at(next).priority) {
            next = i;
        }
    }
    m_posting = m_waiting.takeAt(next);
    QNetworkRequest request(m_url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("garrisond"));
    // A redirected POST may turn into a GET elsewhere: a webhook that moved is reported instead.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    m_status = 0;
    m_answerBytes = 0;
    m_inFlight = m_network->post(request, m_posting->body);
    m_inFlight->setReadBufferSize(kMaxAnswerBytes);
    connect(m_inFlight, &QNetworkReply::readyRead, this, &Webhook::readAnswer);
    connect(m_inFlight, &QNetworkReply::finished, this, &Webhook::finished);
    m_deadline.start();
}

void Webhook::readAnswer()
{
    m_status = m_inFlight->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    m_answerBytes += m_inFlight->skip(m_inFlight->bytesAvailable());
    if (m_answerBytes > kMaxAnswerBytes) {
        m_inFlight->abort();
    }
}

void Webhook::finished()
{
    m_deadline.stop();
    QNetworkReply* reply = std::exchange(m_inFlight, nullptr);
    reply->deleteLater();
    std::optional<Pending> posted = std::exchange(m_posting, std::nullopt);
    if (!isEnabled() || !posted) {
        return; // switched off meanwhile
    }
    // A cut answer still had its status.
    const int status =
        std::max(m_status, reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
    if (status >= 200 && status < 300) {
        Q_EMIT delivered();
        pump();
        return;
    }
    const QString why =
        status != 0 ? QStringLiteral("HTTP %1").arg(status)
        : reply->error() == QNetworkReply::OperationCanceledError
            ? QStringLiteral("no answer within %1 s").arg(m_deadline.interval() / 1000)
            : reply->errorString();
    if (status == 429) {
        bool ok = false;
        const int seconds = reply->rawHeader("Retry-After").trimmed().toInt(&ok);
        retry(std::move(*posted), ok ? std::clamp(seconds, 1, 60) * 1000 : 0, why);
    } else if (status == 0 || status >= 500) {
        retry(std::move(*posted), 0, why);
    } else {
        report(QStringLiteral("webhook %1 refused the %2 notification: %3")
                   .arg(where(), posted->event, why));
        pump();
    }
}

void Webhook::retry(Pending posted, int waitMs, const QString& why)
{
    if (++posted.tries >= kTries) {
        report(QStringLiteral("webhook %1: the %2 notification is dropped after %3 tries: %4")
                   .arg(where(), posted.event)
                   .arg(kTries)
                   .arg(why));
        pump();
        return;
    }
    const int wait = waitMs > 0 ? waitMs : 1000 << posted.tries;
    // First again among those of its priority.
    m_waiting.prepend(std::move(posted));
    m_wait.start(wait);
}

void Webhook::report(const QString& text)
{
    if (m_reported.isValid() && m_reported.elapsed() < 60000) {
        ++m_unreported;
        return;
    }
    Q_EMIT warning(m_unreported == 0
                       ? text
                       : text +
                             QStringLiteral(" (%1 more since the last report)").arg(m_unreported));
    m_unreported = 0;
    m_reported.start();
}

} // namespace garrisond
