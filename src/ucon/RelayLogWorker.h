#pragma once

#include "LogTailFilter.h"
#include "RelayLogFollower.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

namespace garrison {

// The log worker Form5 ("PBUCON"): never shown. Once loaded it starts the relay and, every
// Timer1 tick, reads what the relay has appended to its log, filters the new lines and offers
// the change for the chat box. A long log is read in slices, with a return to the event loop
// between two of them. A log that has to be filtered whole is read and filtered again on
// another thread; the window goes on meanwhile, and the chat box gets the result.
class RelayLogWorker : public QObject {
    Q_OBJECT

public:
    static constexpr int kTickMs = 5000;
    static constexpr qint64 kSliceBytes = 512 * 1024;
    static inline const QString kRelayProgram = QStringLiteral("pbucon.exe");
    static inline const QStringList kRelayArguments = {QStringLiteral("ini=codwaw.ini")};

    // Starts a program that outlives this one: program, arguments, working folder. By default
    // hidden (the relay is a console program that nobody needs to see).
    using Starter = std::function<bool(const QString&, const QStringList&, const QString&)>;

    explicit RelayLogWorker(QObject* parent = nullptr);
    ~RelayLogWorker() override;

    void setStarter(Starter starter) { m_starter = std::move(starter); }
    // Where the relay runs, finds its ini file and writes its log: the application folder unless
    // a session has a folder of its own. Only before Form_Load.
    void setFolder(const QString& folder);
    const QString& folder() const { return m_folder; }
    void setTickInterval(int ms) { m_Timer1.setInterval(ms); }
    void setSliceBytes(qint64 bytes) { m_sliceBytes = bytes; }

    // Starts the relay from the application folder (a failed start is not reported: the tail
    // then finds no log) and switches Timer1 on.
    void Form_Load();
    // Stops the tail (the relay itself is ended by whoever ends the program).
    void stop();
    // One Timer1 tick: the first slice now, the others from the event loop.
    void Timer1_Timer();
    // True while slices of a long log remain to be read, or the log is being filtered whole.
    bool catchingUp() const { return m_slice.isActive() || m_passRunning; }

    const QTimer& Timer1() const { return m_Timer1; }
    // The filtered log, as a whole read and filter of the file would give.
    const QString& Text7() const { return m_tail.filtered(); }
    const LogTailFilter& tail() const { return m_tail; }

Q_SIGNALS:
    // The filtered log is worth showing for the first time, or after the box kept something
    // else: it replaces the chat box's text.
    void logFiltered(const QString& text);
    // The filtered log changed: its first `kept` characters stay as shown, `appended` follows
    // them; `text` is the whole filtered log.
    void logChanged(qsizetype kept, const QString& appended, const QString& text);

private:
    struct PassChannel;

    void readSlice();
    void offer(const LogTailFilter::Change& change);
    void startWholePass();
    void takeWholePass(quint64 generation, const QString& filtered);

    QTimer m_Timer1;
    QTimer m_slice;
    Starter m_starter;
    QString m_folder;
    RelayLogFollower m_follower;
    LogTailFilter m_tail;
    qint64 m_sliceBytes = kSliceBytes;
    // The chat box shows the filtered log as it stood after the last change.
    bool m_shown = false;
    // A whole pass runs; another one is due when it ends.
    bool m_passRunning = false;
    bool m_passAgain = false;
    // How a pass finds this worker, or learns that it is gone.
    std::shared_ptr<PassChannel> m_channel;
};

} // namespace garrison
