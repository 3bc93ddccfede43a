#include "Notification.h"
#include "TestMain.h"
#include "Webhook.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

using namespace garrisond;

namespace {

constexpr int kWaitMs = 5000;

// The webhook's other end. "record" answers 204 and keeps the events posted, "flood" answers
// 200 with a body of kFloodBytes, "trickle" answers 200 and then one byte of its body every
// 100 ms.
class Endpoint : public QObject {
public:
    static constexpr qint64 kFloodBytes = 256 * 1024 * 1024;

    explicit Endpoint(const QByteArray& mode) : m_mode(mode)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this] { ++closed; });
            }
        });
        m_trickle.setInterval(100);
        connect(&m_trickle, &QTimer::timeout, this, [this] {
            for (QTcpSocket* socket : findChildren<QTcpSocket*>()) {
                socket->write("x");
            }
        });
    }
    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/hook").arg(m_server.serverPort()));
    }
    QStringList events;
    int closed = 0;
    qint64 sent = 0;

private:
    void read(QTcpSocket* socket)
    {
        QByteArray& request = m_requests[socket];
        request += socket->readAll();
        const qsizetype end = request.indexOf("\r\n\r\n");
        const qsizetype field = request.indexOf("Content-Length:");
        const qsizetype length =
            field < 0 ? 0 : request.mid(field + 15).split('\r').first().trimmed().toLongLong();
        if (end < 0 || request.size() < end + 4 + length) {
            return;
        }
        if (m_mode == "record") {
            events.append(QJsonDocument::fromJson(request.mid(end + 4, length))
                              .object()
                              .value(QStringLiteral("event"))
                              .toString());
            socket->write("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
        } else if (m_mode == "flood") {
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(kFloodBytes) +
                          "\r\n\r\n");
            const QByteArray chunk(1024 * 1024, 'x');
            const auto more = [this, socket, chunk] {
                // What the kernel takes and no more: a client that stops reading stops this.
                while (sent < kFloodBytes && socket->bytesToWrite() < chunk.size()) {
                    socket->write(chunk);
                    sent += chunk.size();
                }
            };
            connect(socket, &QTcpSocket::bytesWritten, this, more);
            more();
        } else {
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
            m_trickle.start();
        }
    }

    QByteArray m_mode;
    QTcpServer m_server;
    QTimer m_trickle;
    QHash<QTcpSocket*, QByteArray> m_requests;
};

Notification notification(const char* event)
{
    return Notification{
        QString::fromLatin1(event), QDateTime::currentDateTimeUtc(), QStringLiteral("text"), {}};
}

} // namespace

class TestWebhook : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Only the status counts: a long answer is cut short, a slow one ends at the deadline, and
    // either way the post is delivered and the webhook free for the next.
    void answersAreBounded_data()
    {
        QTest::addColumn<QByteArray>("mode");
        QTest::newRow("an endless body") << QByteArray("flood");
        QTest::newRow("a body one byte at a time") << QByteArray("trickle");
    }
    void answersAreBounded()
    {
        QFETCH(QByteArray, mode);
        Endpoint endpoint(mode);
        Webhook webhook;
        webhook.setDeadline(1000);
        webhook.configure(endpoint.url(), Webhook::Format::Json, QStringLiteral("test"));
        QSignalSpy delivered(&webhook, &Webhook::delivered);
        webhook.send(notification("crash"));
        QVERIFY(delivered.wait(kWaitMs));
        QTRY_COMPARE_WITH_TIMEOUT(endpoint.closed, 1, kWaitMs);
        QVERIFY2(endpoint.sent < Endpoint::kFloodBytes / 4,
                 qPrintable(QString::number(endpoint.sent)));
        QCOMPARE(webhook.waiting(), 0);
    }
    // A flood of the game's notifications, more than the queue holds, neither delays nor drops
    // the watch's and the logins'.
    void urgentNotificationsGoFirst()
    {
        Endpoint endpoint("record");
        Webhook webhook;
        webhook.configure(endpoint.url(), Webhook::Format::Json, QStringLiteral("test"));
        for (int i = 0; i < Webhook::kMaxWaiting; ++i) {
            webhook.send(notification("report"));
        }
        webhook.send(notification("login"));
        webhook.send(notification("kick"));
        for (int i = 0; i < 20; ++i) {
            webhook.send(notification("alert"));
        }
        webhook.send(notification("crash"));
        QCOMPARE(webhook.waiting(), Webhook::kMaxWaiting);
        QTRY_VERIFY_WITH_TIMEOUT(endpoint.events.size() >= 4, kWaitMs);
        QCOMPARE(endpoint.events.first(4), QStringList({"report", "login", "crash", "kick"}));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestWebhook)
#include "TestWebhook.moc"
