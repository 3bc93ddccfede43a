#include "RelayLogWorker.h"

#include "LogFilter.h"
#include "RelayLogReader.h"
#include "UconIni.h"
#include "platform/AppFolder.h"
#include "platform/ProcessControl.h"

namespace garrison {

RelayLogWorker::RelayLogWorker(QObject* parent)
    : QObject(parent), m_Timer1(this),
      m_starter([](const QString& program, const QStringList& arguments, const QString& folder) {
          return ProcessControl::startDetached(program, arguments, folder);
      })
{
    setObjectName(QStringLiteral("Form5"));
    m_Timer1.setObjectName(QStringLiteral("Timer1"));
    m_Timer1.setInterval(kTickMs);
    connect(&m_Timer1, &QTimer::timeout, this, &RelayLogWorker::Timer1_Timer);
}

void RelayLogWorker::Form_Load()
{
    // The relay finds codwaw.ini and writes pbucon.log in its working folder.
    m_starter(AppFolder::filePath(kRelayProgram), kRelayArguments, AppFolder::path());
    m_Timer1.start();
}

void RelayLogWorker::Timer1_Timer()
{
    // A log that cannot be read (not written yet) leaves the last text in place.
    if (std::optional<QString> raw =
            RelayLogReader::ReadRelayLog(AppFolder::filePath(UconIni::kLogFile))) {
        m_Text2 = std::move(*raw);
    }
    m_Text7 = LogFilter::MasterParse(m_Text2);
    if (LogFilter::worthShowing(m_Text7)) {
        Q_EMIT logFiltered(m_Text7);
    }
}

} // namespace garrison
