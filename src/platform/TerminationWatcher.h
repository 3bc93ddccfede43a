#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

namespace garrison {

// The system's requests that the program end, as a Qt signal on the user-interface thread, so
// that they take the program's own way out (which also ends the relay it started) instead of
// ending the process where it stands. On Linux: SIGTERM, SIGINT and SIGHUP, whose handler only
// writes the signal's number into a pipe that the event loop reads. On Windows a desktop
// program is asked to end by closing its windows, which takes that way already: nothing to
// watch there. One watcher at a time; a second one watches nothing.
class TerminationWatcher : public QObject {
    Q_OBJECT

public:
    explicit TerminationWatcher(QObject* parent = nullptr);
    ~TerminationWatcher() override;

    bool isWatching() const { return m_watching; }
    // The signals that a watcher turns into terminationRequested on this system.
    static QList<int> signalNumbers();

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
    bool m_watching = false;
};

} // namespace garrison
