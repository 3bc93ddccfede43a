#pragma once

#include "DaemonMessage.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

class QObject;

namespace garrisond {

class BanEnforcer;
class BanStore;

// The requests about bans and their answers. A request is its word, and for a change or a page
// a blank and one JSON object on the same line:
//   getbans                       -> "BANLIST <n>" LF, then n lines, one ban's JSON each
//   getbans {"offset": o, "count": c}
//                                 -> "BANLIST <n> <total> <o>" LF, then the n (at most c, up to
//                                    kMaxPage) bans from the o-th on, by id, of total
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

    using Reply = std::function<void(const Answer&)>;

    static constexpr qsizetype kMaxPage = 1000;

    BanRequests(BanStore& store, const BanEnforcer& enforcer) : m_store(store), m_enforcer(enforcer)
    {}

    // Replies at once, or to a change once the store has it: then not at all if `context` is
    // gone by that time.
    void answer(const DaemonMessage& message, const Asker& asker, const QDateTime& now,
                QObject* context, const Reply& reply);

    static QByteArray changedNotice() { return QByteArrayLiteral("BANSCHANGED\n"); }
    // The request's JSON, after its word and a blank; empty when there is none.
    static QString body(const QString& text);

private:
    Answer list(const QString& body, const QDateTime& now) const;
    void add(const QString& body, const Asker& asker, const QDateTime& now, QObject* context,
             const Reply& reply);
    void edit(const QString& body, const QDateTime& now, QObject* context, const Reply& reply);
    void lift(const QString& body, const Asker& asker, const QDateTime& now, QObject* context,
              const Reply& reply);
    void import(const Asker& asker, const QDateTime& now, QObject* context, const Reply& reply);
    Answer engineBans(const Asker& asker, const QDateTime& now) const;

    BanStore& m_store;
    const BanEnforcer& m_enforcer;
};

} // namespace garrisond
