#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace garrison {

class RconClient;

// Collects the replies to the ban and bad-name list commands and publishes them once the
// datagrams have had time to arrive. Timer3 shares the client's tick counter with the deferred
// send and publishes on the tick that finds it at 3 or above.
class ListPublication : public QObject {
    Q_OBJECT

public:
    explicit ListPublication(RconClient& client, QObject* parent = nullptr);

    // Adds one list datagram's text; starts Timer3 unless it already runs (a later datagram
    // does not push publication back).
    void append(const QString& replyText);
    // The list buttons empty the buffer before they ask for a list.
    void clear() { m_listBuffer.clear(); }
    QString ListBuffer() const { return m_listBuffer; }

    QTimer& Timer3() { return m_timer3; }

Q_SIGNALS:
    // The text for the admin page's list box; the buffer keeps its content.
    void published(const QString& text10);

private:
    void onTimer3();

    RconClient& m_client;
    QTimer m_timer3;
    QString m_listBuffer;
};

} // namespace garrison
