#include "UconSetup.h"

#include "app/ProgressWindow.h"
#include "control/ChatPage.h"
#include "platform/AppFolder.h"
#include "platform/ProcessControl.h"
#include "rcon/CommandSender.h"
#include "ucon/RelayLogWorker.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

namespace garrison {

QList<UconSetup::Step> UconSetup::steps(const UconIdentity& identity)
{
    return {
        {QStringLiteral("Addin You to PBUCON User List"),
         QStringLiteral("pb_sv_uconadd 2 ") + identity.localAddress + QLatin1Char(' ') +
             identity.loginName + QLatin1Char(' ') + identity.password,
         kStepWaitMs},
        {QStringLiteral("Changing Session Limits"), QStringLiteral("pb_sv_USessionLimit 16"),
         kStepWaitMs},
        {QStringLiteral("Writing Configs..."), QStringLiteral("pb_sv_writecfg"), kStepWaitMs},
        {QStringLiteral("Setting up PBUCON.USE"), QStringLiteral("pb_sv_writecfg pbucon.use"), 0},
    };
}

UconSetup::UconSetup(CommandSender& sender, ChatPage& chat, QWidget* window)
    : QObject(window), m_sender(sender), m_chat(chat), m_window(window),
      m_worker(new RelayLogWorker(this)), m_wait([this](int ms) {
          QEventLoop loop;
          // Only written before the wait: the setup may be gone once it returns.
          m_waitLoop = &loop;
          QTimer::singleShot(ms, &loop, &QEventLoop::quit);
          loop.exec();
      })
{
    connect(m_worker, &RelayLogWorker::logFiltered, &m_chat, &ChatPage::setTranscript);
    connect(m_worker, &RelayLogWorker::logChanged, &m_chat, &ChatPage::showLogChange);
}

UconSetup::~UconSetup() = default;

ProgressWindow* UconSetup::progressWindow() const
{
    return m_progress;
}

void UconSetup::firstVisit(const UconIdentity& identity)
{
    if (m_started) {
        return;
    }
    // Set first: a click during the waits below must not start a second registration.
    m_started = true;
    m_running = true;
    m_cancelled = false;
    const QPointer<UconSetup> alive(this);
    // A copy: the setup may be destroyed while it waits.
    const Wait wait = m_wait;
    m_progress = new ProgressWindow(m_window);
    m_progress->show();
    for (const Step& step : steps(identity)) {
        if (m_progress) {
            m_progress->setStep(step.caption);
        }
        m_sender.Send(step.command);
        if (step.waitMs > 0) {
            wait(step.waitMs);
            // An exit ends every local event loop at once, so the wait may return early.
            if (!alive || m_cancelled) {
                return;
            }
        }
    }
    m_running = false;
    if (m_progress) {
        m_progress->close();
        delete m_progress;
    }
    m_worker->Form_Load();
}

void UconSetup::cancel()
{
    if (!m_running) {
        return;
    }
    m_running = false;
    m_cancelled = true;
    m_started = false;
    if (m_waitLoop) {
        m_waitLoop->quit();
    }
    if (m_progress) {
        m_progress->close();
        delete m_progress;
    }
}

void UconSetup::takeServer(const QString& serverKey)
{
    if (m_started) {
        return;
    }
    const QString ini = AppFolder::filePath(UconIni::kIniFile);
    QString name = QStringLiteral("relay-") + serverKey;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.-]")), QStringLiteral("-"));
    const QString folder = AppFolder::filePath(name);
    QFile::remove(QDir(folder).filePath(UconIni::kIniFile));
    QFile::remove(QDir(folder).filePath(UconIni::kLogFile));
    const bool own = QFile::exists(ini) && QDir().mkpath(folder) &&
                     QFile::copy(ini, QDir(folder).filePath(UconIni::kIniFile));
    m_worker->setFolder(own ? folder : AppFolder::path());
}

void UconSetup::endRelay()
{
    cancel();
    m_worker->stop();
    // Also a relay left running in that folder by an earlier run: it serves the same server.
    if (m_worker->folder() != AppFolder::path()) {
        ProcessControl::KillProcessByNameIn(RelayLogWorker::kRelayProgram, m_worker->folder());
    }
}

} // namespace garrison
