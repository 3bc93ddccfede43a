#pragma once

#include "Notification.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace garrisond {

// Posts notifications to webhook_url, one at a time, without ever waiting for it: the network
// access runs on its own, so a webhook that is slow, silent, chatty or refusing costs the daemon
// nothing but a bounded queue. The queue is served by priority (the watch's and security's
// notifications, then moderation, then the game's), in order within each. A failed post is tried
// again (after 2, 4, 8 s, or when a 429 answer says) up to kTries times. A post gets kDeadlineMs
// in all, and of the answer only kMaxAnswerBytes are read (and thrown away) before the
// connection is dropped: the status is all that counts. At most kBurst go out at once, then one
// every kSpacingMs; beyond kMaxWaiting waiting ones the oldest of the lowest priority is dropped.
// Trouble is reported at most once a minute.
class Webhook : public QObject {
    Q_OBJECT

public:
    enum class Format { Discord, Json };
    static constexpr int kTries = 4;
    static constexpr int kBurst = 5;
    static constexpr int kSpacingMs = 2000;
    static constexpr qsizetype kMaxWaiting = 100;
    static constexpr int kDeadlineMs = 15000;
    static constexpr qint64 kMaxAnswerBytes = 16 * 1024;

    explicit Webhook(QObject* parent = nullptr);
    ~Webhook() override;

    static std::optional<Format> parseFormat(const QString& text);
    // An http or https address with a host; the reason when it is not.
    static bool isUsableUrl(const QUrl& url, QString* error);

    // An empty url switches notifications off.
    void configure(const QUrl& url, Format format, const QString& server);
    bool isEnabled() const { return !m_url.isEmpty(); }
    void send(const Notification& notification);
    // Those not delivered yet, the one being posted too.
    qsizetype waiting() const { return m_waiting.size() + (m_posting ? 1 : 0); }
    // For tests: a post's time in all.
    void setDeadline(int ms) { m_deadline.setInterval(ms); }

Q_SIGNALS:
    void warning(const QString& text);
    // A notification was accepted by the webhook.
    void delivered();

private:
    struct Pending {
        QByteArray body;
        QString event;
        Notification::Priority priority = Notification::Priority::Urgent;
        int tries = 0;
    };
    void pump();
    void readAnswer();
    void finished();
    void retry(Pending posted, int waitMs, const QString& why);
    void report(const QString& text);
    QString where() const;

    QUrl m_url;
    Format m_format = Format::Json;
    QString m_server;
    QNetworkAccessManager* m_network = nullptr;
    QNetworkReply* m_inFlight = nullptr;
    std::optional<Pending> m_posting;
    int m_status = 0;
    qint64 m_answerBytes = 0;
    QTimer m_deadline;
    QList<Pending> m_waiting;
    QTimer m_wait; // the rate limit's or a retry's
    double m_tokens = kBurst;
    QElapsedTimer m_refill;
    int m_dropped = 0;
    QElapsedTimer m_reported;
    int m_unreported = 0;
};

} // namespace garrisond
