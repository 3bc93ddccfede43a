#pragma once

#include <QObject>

class QSocketNotifier;

namespace garrison::sim {

// Turns the requests to stop into a Qt signal. Linux: SIGINT and SIGTERM, whose handler only
// writes one byte into a socket pair that the event loop reads. Windows: Ctrl+C and Ctrl+Break
// (as SIGINT) and the console window's closing, logoff and shutdown (as SIGTERM), which the
// system reports on a thread of its own.
class SimSignalWatcher : public QObject {
    Q_OBJECT

public:
    explicit SimSignalWatcher(QObject* parent = nullptr);
    ~SimSignalWatcher() override;
    bool isValid() const { return m_valid; }

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
#ifndef Q_OS_WIN
    static void handle(int signalNumber);
    void drain();

    QSocketNotifier* m_notifier = nullptr;
#endif
    bool m_valid = false;
};

} // namespace garrison::sim
