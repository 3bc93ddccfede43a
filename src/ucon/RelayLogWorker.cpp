#include "RelayLogWorker.h"

#include "LogFilter.h"
#include "UconIni.h"
#include "platform/AppFolder.h"
#include "platform/ProcessControl.h"

namespace garrison {

RelayLogWorker::RelayLogWorker(QObject* parent)
    : QObject(parent), m_Timer1(this), m_slice(this),
      m_starter([](const QString& program, const QStringList& arguments, const QString& folder) {
          return ProcessControl::startDetached(program, arguments, folder);
      }),
      m_follower(AppFolder::filePath(UconIni::kLogFile)),
      m_tail([this] { return m_follower.readBack(); })
{
    setObjectName(QStringLiteral("Form5"));
    m_Timer1.setObjectName(QStringLiteral("Timer1"));
    m_Timer1.setInterval(kTickMs);
    connect(&m_Timer1, &QTimer::timeout, this, &RelayLogWorker::Timer1_Timer);
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &RelayLogWorker::readSlice);
}

void RelayLogWorker::Form_Load()
{
    // The relay finds codwaw.ini and writes pbucon.log in its working folder.
    m_starter(AppFolder::filePath(kRelayProgram), kRelayArguments, AppFolder::path());
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
    }
    if (piece->more) {
        m_slice.start();
    }
    if (piece->text.isEmpty() && m_shown) {
        return;
    }
    const LogTailFilter::Change change = m_tail.append(piece->text, piece->more);
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

} // namespace garrison
