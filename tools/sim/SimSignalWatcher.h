#pragma once

#include <QObject>

class QSocketNotifier;

namespace garrison::sim {

// Turns SIGINT and SIGTERM into a Qt signal: the handler only writes one byte into a socket
// pair, and the event loop reads it.
class SimSignalWatcher : public QObject {
    Q_OBJECT

public:
    explicit SimSignalWatcher(QObject* parent = nullptr);
    ~SimSignalWatcher() override;
    bool isValid() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    static void handle(int signalNumber);
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace garrison::sim
