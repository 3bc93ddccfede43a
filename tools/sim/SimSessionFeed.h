#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <random>

namespace garrison::sim {

// Replays a busy evening into a relay log: chat lines and PunkBuster lines, written as the
// relay writes them (one CR LF line each, the UCON marker after the source), at a steady rate.
class SimSessionFeed : public QObject {
    Q_OBJECT

public:
    // PunkBuster lines for each chat line, about what a 64-player server with PunkBuster sends.
    static constexpr int kPunkBusterPerChat = 9;

    SimSessionFeed(QString path, int chatPerMinute, quint32 seed, QObject* parent = nullptr);

    void start();
    qint64 linesWritten() const { return m_written; }
    // The line the feed writes as its index-th (the same seed gives the same evening).
    QByteArray line(qint64 index);

private:
    void writeDue();

    QString m_path;
    int m_chatPerMinute;
    std::mt19937 m_random;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_written = 0;
};

} // namespace garrison::sim
