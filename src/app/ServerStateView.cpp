#include "ServerStateView.h"

#include "app/SessionNotes.h"
#include "players/GameColours.h"
#include "session/ServerSession.h"

#include <QLabel>
#include <QWidget>

namespace garrison {

namespace {

QString clock(const QDateTime& at)
{
    return at.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

ServerStateView::ServerStateView(QWidget& window, QLabel& headerLine, SessionNotes& notes)
    : QObject(&window), m_window(window), m_line(headerLine), m_notes(notes)
{
    m_line.setWordWrap(true);
    m_line.setStyleSheet(QStringLiteral("QLabel { background: #ffe1dc; color: #5a1208; "
                                        "border: 1px solid #d9826f; padding: 3px; }"));
    m_line.hide();
}

void ServerStateView::setServer(const QString& hostName, const QString& address,
                                const QString& port)
{
    m_hostName = hostName;
    m_address = address;
    m_port = port;
    update();
}

void ServerStateView::startSession()
{
    m_silence.clear();
    m_daemonNote.clear();
    update();
}

QString ServerStateView::hostName() const
{
    const QString shown = GameColours::shownText(m_hostName).trimmed();
    return m_hostName == ServerSession::kLoading || m_hostName == QLatin1String("nohostname")
               ? QString()
               : shown;
}

QString ServerStateView::serverName() const
{
    const QString host = hostName();
    return host.isEmpty() ? m_address + QLatin1Char(':') + m_port : host;
}

void ServerStateView::stoppedAnswering(const QDateTime& since)
{
    m_silentAt = clock(since);
    m_silence = tr("not answering since %1").arg(m_silentAt);
    const QString text =
        tr("The server is %1; the players shown are the last it reported.").arg(m_silence);
    m_notes.showStatus(text);
    m_notes.notify(tr("%1 is not answering").arg(serverName()), text);
    update();
}

void ServerStateView::answeringAgain(const QDateTime& since)
{
    m_silence.clear();
    const QString text = tr("The server answers again (it was silent from %1 to %2).")
                             .arg(clock(since), clock(QDateTime::currentDateTime()));
    m_notes.showStatus(text);
    m_notes.notify(tr("%1 answers again").arg(serverName()), text);
    update();
}

void ServerStateView::daemonEvent(const DaemonEvent& event)
{
    const QString what = event.value(QStringLiteral("event"));
    const QString text = event.value(QStringLiteral("text"));
    const QDateTime at = event.at().isValid() ? event.at() : QDateTime::currentDateTimeUtc();
    const QString said = tr("garrisond, %1: %2").arg(clock(at), text);
    // Only a server that does not run keeps its note in the header.
    m_daemonNote = event.value(QStringLiteral("state")) == QLatin1String("running") &&
                           what != QLatin1String("restart")
                       ? QString()
                       : said;
    m_notes.showStatus(said);
    if (what == QLatin1String("crash") || what == QLatin1String("hang") ||
        what == QLatin1String("gave-up") || what == QLatin1String("recovered")) {
        m_notes.notify(serverName(), text);
    }
    update();
}

void ServerStateView::update()
{
    // "GARRISON – host name (address:port)": each window says which server it administers.
    QString title = QStringLiteral("GARRISON");
    if (!m_address.isEmpty()) {
        const QString address = m_address + QLatin1Char(':') + m_port;
        const QString host = hostName();
        title += QStringLiteral(" – ") +
                 (host.isEmpty() ? address : host + QStringLiteral(" (") + address + u')');
    }
    m_window.setWindowTitle(m_silence.isEmpty() ? title
                                                : title + QStringLiteral(" – ") + m_silence);
    const QString line =
        !m_silence.isEmpty()
            ? tr("Not answering since %1: the players below are the last it reported.")
                  .arg(m_silentAt)
            : m_daemonNote;
    m_line.setText(line);
    m_line.setToolTip(line);
    m_line.setVisible(!line.isEmpty());
}

} // namespace garrison
