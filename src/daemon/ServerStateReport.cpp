#include "ServerStateReport.h"

#include "players/GameColours.h"

#include <QStringList>

namespace garrison {

namespace {

const QString kHeader = QStringLiteral("SERVERSTATE");

QDateTime utc(const QString& text)
{
    QDateTime at = QDateTime::fromString(text, Qt::ISODate);
    return at.isValid() ? at.toUTC() : QDateTime();
}

// Today's and tomorrow's times by the clock, others with their date.
QString when(const QDateTime& at, const QDateTime& now)
{
    const QDateTime local = at.toLocalTime();
    const qint64 days = now.toLocalTime().date().daysTo(local.date());
    const QString time = local.toString(QStringLiteral("HH:mm"));
    return days == 0   ? time
           : days == 1 ? QStringLiteral("tomorrow ") + time
                       : local.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

} // namespace

bool ServerStateReport::isReport(const QString& message)
{
    return message == kHeader || message.startsWith(kHeader + QLatin1Char('\n')) ||
           message.startsWith(kHeader + QStringLiteral("\r\n"));
}

std::optional<ServerStateReport> ServerStateReport::parse(const QString& message)
{
    if (!isReport(message)) {
        return std::nullopt;
    }
    ServerStateReport report;
    const QStringList lines = message.split(QLatin1Char('\n'));
    for (qsizetype n = 1; n < lines.size(); ++n) {
        QString line = lines.at(n);
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            continue;
        }
        const QString key = line.left(equals);
        const QString value = line.mid(equals + 1);
        if (key == QLatin1String("state")) {
            report.state = value;
        } else if (key == QLatin1String("since")) {
            report.since = utc(value);
        } else if (key == QLatin1String("restarts_today")) {
            report.restartsToday = value.toInt();
        } else if (key == QLatin1String("last_crash")) {
            report.lastCrash = utc(value);
        } else if (key == QLatin1String("last_exit")) {
            report.lastExit = value;
        } else if (key == QLatin1String("next_restart")) {
            report.nextRestart = utc(value);
        } else if (key == QLatin1String("restart_now")) {
            report.restartNow = utc(value);
        } else if (key == QLatin1String("skipped")) {
            if (const QDateTime at = utc(value); at.isValid()) {
                report.skipped.append(at);
            }
        } else if (key == QLatin1String("announce")) {
            const qsizetype blank = value.indexOf(QLatin1Char(' '));
            report.announcements.append({value.left(blank).toInt(), value.mid(blank + 1)});
        } else if (key == QLatin1String("announce_more")) {
            report.announcementsLeft = value.toInt();
        } else if (key == QLatin1String("note")) {
            report.note = value;
        }
    }
    if (report.state.isEmpty()) {
        return std::nullopt;
    }
    return report;
}

QString ServerStateReport::stateText(const QDateTime& now) const
{
    QString text;
    if (state == QLatin1String("running")) {
        text = since.isValid() ? QStringLiteral("Running since %1").arg(when(since, now))
                               : QStringLiteral("Running");
    } else if (state == QLatin1String("restarting")) {
        text = QStringLiteral("Restarting");
    } else if (state == QLatin1String("gave-up")) {
        text = QStringLiteral("Down: the daemon gave up restarting it");
    } else if (state == QLatin1String("not-configured")) {
        text = QStringLiteral("The daemon has no command to start it");
    } else {
        text = QStringLiteral("Stopped");
    }
    return text + (restartsToday == 1 ? QStringLiteral("; 1 restart today")
                                      : QStringLiteral("; %1 restarts today").arg(restartsToday));
}

QString ServerStateReport::crashText(const QDateTime& now) const
{
    if (!lastCrash.isValid()) {
        return QStringLiteral("No crash");
    }
    return QStringLiteral("Last crash: %1 (%2)").arg(when(lastCrash, now), lastExit);
}

QString ServerStateReport::restartText(const QDateTime& now) const
{
    QString text;
    if (restartNow.isValid()) {
        text = QStringLiteral("Restart on request at %1")
                   .arg(restartNow.toLocalTime().toString(QStringLiteral("HH:mm:ss")));
    } else if (nextRestart.isValid()) {
        text = QStringLiteral("Next restart: %1").arg(when(nextRestart, now));
    } else {
        text = QStringLiteral("No daily restart");
    }
    QStringList skips;
    for (const QDateTime& at : skipped) {
        skips.append(when(at, now));
    }
    return skips.isEmpty()
               ? text
               : text + QStringLiteral(" (skipped: %1)").arg(skips.join(QStringLiteral(", ")));
}

QString ServerStateReport::describe(const Announcement& announcement)
{
    const int seconds = announcement.intervalSeconds;
    const QString every = seconds % 3600 == 0 ? QStringLiteral("%1 h").arg(seconds / 3600)
                          : seconds % 60 == 0 ? QStringLiteral("%1 min").arg(seconds / 60)
                                              : QStringLiteral("%1 s").arg(seconds);
    return QStringLiteral("after %1: %2").arg(every, GameColours::shownText(announcement.text));
}

} // namespace garrison
