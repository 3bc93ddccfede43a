#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace garrison {

// The daemon's answer to "serverstate" (also to "skiprestart" and "restartnow"): "SERVERSTATE"
// and one "key=value" line each, times in UTC. The texts are what the Admin page shows, in
// this machine's local time.
struct ServerStateReport {
    struct Announcement {
        int intervalSeconds = 0;
        QString text;
    };

    QString state; // running, stopped, restarting, gave-up, not-configured
    QDateTime since;
    int restartsToday = 0;
    QDateTime lastCrash;
    QString lastExit;
    QDateTime nextRestart;
    QDateTime restartNow; // a restart on request, after its warning
    QList<QDateTime> skipped;
    QList<Announcement> announcements;
    int announcementsLeft = 0; // more than the answer had room for
    QString note;              // what became of the request

    static bool isReport(const QString& message);
    // Nothing when the message is not a report.
    static std::optional<ServerStateReport> parse(const QString& message);

    // "Running since 12:03; 2 restarts today"
    QString stateText(const QDateTime& now) const;
    // "Last crash: 03:12 (exit status 3)" or "No crash"
    QString crashText(const QDateTime& now) const;
    // "Next restart: tomorrow 04:00 (skipped: 16:00)", a restart on request, or none
    QString restartText(const QDateTime& now) const;
    // "after 5 min: Welcome", without the colour codes: each announcement comes its interval
    // after the one before
    static QString describe(const Announcement& announcement);
};

} // namespace garrison
