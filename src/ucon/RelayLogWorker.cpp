#include "RelayLogWorker.h"

#include "LogFilter.h"
#include "UconIni.h"
#include "platform/AppFolder.h"
#include "platform/ProcessControl.h"

#include <QDir>
#include <QMutex>
#include <QThreadPool>

namespace garrison {

struct RelayLogWorker::PassChannel {
    QMutex mutex;
    RelayLogWorker* worker = nullptr;
    // Set when the worker goes: a pass still running gives up, so that the end of the
    // program need not wait for it.
    std::atomic<bool> stop = false;
};

RelayLogWorker::RelayLogWorker(QObject* parent)
    : QObject(parent), m_Timer1(this), m_slice(this),
      m_starter([](const QString& program, const QStringList& arguments, const QString& folder) {
          return ProcessControl::startHidden(program, arguments, folder);
      }),
      m_folder(AppFolder::path()), m_follower(AppFolder::filePath(UconIni::kLogFile)),
      m_channel(std::make_shared<PassChannel>())
{
    m_channel->worker = this;
    setObjectName(QStringLiteral("Form5"));
    m_Timer1.setObjectName(QStringLiteral("Timer1"));
    m_Timer1.setInterval(kTickMs);
    connect(&m_Timer1, &QTimer::timeout, this, &RelayLogWorker::Timer1_Timer);
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &RelayLogWorker::readSlice);
}

RelayLogWorker::~RelayLogWorker()
{
    // A pass still running finds nobody to hand its result to.
    m_channel->stop = true;
    const QMutexLocker lock(&m_channel->mutex);
    m_channel->worker = nullptr;
}

void RelayLogWorker::setFolder(const QString& folder)
{
    m_folder = folder;
    m_follower = RelayLogFollower(QDir(folder).filePath(UconIni::kLogFile));
}

void RelayLogWorker::Form_Load()
{
    // The relay finds codwaw.ini and writes pbucon.log in its working folder.
    m_starter(AppFolder::filePath(kRelayProgram), kRelayArguments, m_folder);
    m_Timer1.start();
}

void RelayLogWorker::stop()
{
    m_Timer1.stop();
    m_slice.stop();
}

void RelayLogWorker::Timer1_Timer()
{
    // A tick that finds slices still to read leaves them to go on at their own pace.
    if (!m_slice.isActive()) {
        readSlice();
    }
}

void RelayLogWorker::readSlice()
{
    // A log that cannot be read (not written yet) leaves the last text in place.
    std::optional<RelayLogFollower::Piece> piece = m_follower.read(m_sliceBytes);
    if (!piece) {
        return;
    }
    if (piece->restarted && m_tail.rawSize() > 0) {
        m_tail.clear();
        m_shown = false;
        m_passAgain = false;
    }
    if (piece->more) {
        m_slice.start();
    }
    if (piece->text.isEmpty() && m_shown) {
        return;
    }
    const LogTailFilter::Change change = m_tail.append(piece->text, piece->more);
    if (change.wholePassNeeded) {
        startWholePass();
        return;
    }
    offer(change);
}

void RelayLogWorker::offer(const LogTailFilter::Change& change)
{
    if (!LogFilter::worthShowing(m_tail.filtered())) {
        // The chat box keeps what it shows.
        m_shown = false;
        return;
    }
    if (!m_shown) {
        m_shown = true;
        Q_EMIT logFiltered(m_tail.filtered());
    } else if (!change.isEmpty()) {
        Q_EMIT logChanged(change.kept, change.appended, m_tail.filtered());
    }
}

void RelayLogWorker::startWholePass()
{
    if (m_passRunning) {
        m_passAgain = true;
        return;
    }
    m_passRunning = true;
    m_passAgain = false;
    QThreadPool::globalInstance()->start([channel = m_channel, path = m_follower.path(),
                                          bytes = m_follower.offset(),
                                          generation = m_tail.generation()] {
        const QString filtered =
            LogFilter::MasterParse(RelayLogFollower::readBack(path, bytes), &channel->stop);
        const QMutexLocker lock(&channel->mutex);
        if (channel->worker) {
            RelayLogWorker* worker = channel->worker;
            QMetaObject::invokeMethod(
                worker,
                [worker, generation, filtered] { worker->takeWholePass(generation, filtered); },
                Qt::QueuedConnection);
        }
    });
}

void RelayLogWorker::takeWholePass(quint64 generation, const QString& filtered)
{
    m_passRunning = false;
    offer(m_tail.takeWholePass(generation, filtered));
    if (m_passAgain) {
        startWholePass();
    }
}

} // namespace garrison
