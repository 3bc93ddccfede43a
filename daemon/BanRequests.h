#pragma once

#include "DaemonMessage.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace garrisond {

class BanEnforcer;
class BanStore;

// The requests about bans and their answers. A request is its word, and for a change a blank
// and one JSON object on the same line:
//   getbans                       -> "BANLIST <n>" LF, then n lines, one ban's JSON each
//   addban {"guid": …, …}         -> "BANADDED <id>" LF
//   editban {"id": …, …}          -> "BANCHANGED <id>" LF (reason, until, servers, note)
//   liftban {"id": …, "note": …}  -> "BANCHANGED <id>" LF
//   importbans                    -> "BANIMPORTED <added> <skipped>" LF
//   getenginebans                 -> "BANFILE <n>" LF, then n lines: the engine's own ban
//                                    file's bans as JSON, without id (see BanFiles)
// and any of them -> "BANREFUSED <why>" LF. A ban's JSON is BanRecord::toJson's. After a
// change, here or on another garrisond, the sessions that may read the bans are told
// "BANSCHANGED" LF.
class BanRequests {
public:
    struct Answer {
        QByteArray bytes;
        QString event; // for the audit log: ban-added, ban-edited, ban-lifted, ban-refused …
        QString detail;
    };
    struct Asker {
        QString account;
        QString level;
        QStringList banLevels; // ban_levels
        // The game server's folder, where "importbans" and "getenginebans" find the ban files.
        QString serverDirectory;
    };

    BanRequests(BanStore& store, const BanEnforcer& enforcer) : m_store(store), m_enforcer(enforcer)
    {}

    Answer answer(const DaemonMessage& message, const Asker& asker, const QDateTime& now);

    static QByteArray changedNotice() { return QByteArrayLiteral("BANSCHANGED\n"); }
    // The request's JSON, after its word and a blank; empty when there is none.
    static QString body(const QString& text);

private:
    Answer add(const QString& body, const Asker& asker, const QDateTime& now);
    Answer edit(const QString& body, const QDateTime& now);
    Answer lift(const QString& body, const Asker& asker, const QDateTime& now);
    Answer import(const Asker& asker, const QDateTime& now);
    Answer engineBans(const Asker& asker, const QDateTime& now);

    BanStore& m_store;
    const BanEnforcer& m_enforcer;
};

} // namespace garrisond
