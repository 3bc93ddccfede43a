#pragma once

#include "bans/BanRecord.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace garrison {

// Where a session's bans live: the daemon it is logged in to, or the history database of a
// direct session. Answers come later, as signals; a refusal or failure as `failed`.
class BanSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Every ban, lifted and expired ones too; answered with `listed`.
    virtual void list() = 0;
    // `ban.id` is ignored; answered with `added` and the new id.
    virtual void add(const BanRecord& ban) = 0;
    // Reason, until, servers and note of the ban with `ban.id`; answered with `changed`.
    virtual void edit(const BanRecord& ban) = 0;
    // Answered with `changed`.
    virtual void lift(qint64 id, const QString& note) = 0;
    // The bans the engine keeps itself, where this source can read them (garrisond reads the
    // engine's ban file); answered with `engineListed`, or not at all.
    virtual void listEngine() {}
    // Whether importFiles() can be asked of this source: garrisond reads the game server's
    // ban files; a direct session has no access to the server's folder.
    virtual bool canImport() const { return false; }
    // The engine's and PunkBuster's ban files become bans of this list, once; answered with
    // `imported`, or `failed`.
    virtual void importFiles()
    {
        Q_EMIT failed(QStringLiteral("only garrisond can read the game server's ban files: log "
                                     "in through the daemon"));
    }

    // The reasons for bans that this source sets for its bans' dialogs, as last listed: a
    // daemon's (garrisond's ban_reasons). Empty when the dialogs offer this computer's own
    // (BanChoices::reasons()), as a direct session's always do.
    virtual QStringList reasons() const { return {}; }
    // Asks for them anew (a daemon's configuration may have been reloaded); answered with
    // `reasonsListed`. A source without reasons of its own has nothing to ask.
    virtual void listReasons() {}

Q_SIGNALS:
    void listed(const QList<garrison::BanRecord>& bans);
    void engineListed(const QList<garrison::BanRecord>& bans);
    // A source that reads the list by pages tells of each before `listed` brings all of them;
    // `first` begins the list anew.
    void pageListed(const QList<garrison::BanRecord>& bans, bool first);
    void added(qint64 id);
    void changed(qint64 id);
    void imported(qint64 added, qint64 skipped);
    // Another server or administrator changed the list: list() again to see it.
    void listChanged();
    void reasonsListed(const QStringList& reasons);
    void failed(const QString& message);
};

} // namespace garrison
