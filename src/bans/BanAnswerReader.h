#pragma once

#include "bans/BanRecord.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace garrison {

// The daemon's answers about bans, taken out of what the daemon link receives. Each answer is
// a line that begins with its word ("BANADDED 7"); "BANLIST n" (the whole list), "BANLIST n
// total offset" (a page of it) and "BANFILE n" (the engine's ban file) are followed by n lines
// of JSON, one ban each, and may take many receive events; "BANREASONS n" by n lines, one
// reason each. Answers at the front of what came are taken off; the rest is left for the
// link's other rules.
class BanAnswerReader {
public:
    struct Answer {
        enum class Kind {
            List,
            Added,
            Changed,
            Imported,
            Refused,
            ListChanged,
            EngineList,
            Reasons
        };
        Kind kind = Kind::Refused;
        QList<BanRecord> bans; // List, EngineList
        QStringList reasons;   // Reasons
        // List: how many bans the daemon has, and where this page of them begins; for the
        // whole list, its size and 0.
        qsizetype total = 0;
        qsizetype offset = 0;
        qint64 id = 0; // Added, Changed; Imported: the number added
        QString text;  // Refused: the daemon's reason; Imported: "added skipped"
    };

    // Appends the answers at the front of `received` (with what an earlier call kept of an
    // unfinished one) to `answers`, and returns what follows them.
    QString take(const QString& received, QList<Answer>* answers);
    // An answer has begun and is not whole yet.
    bool isGathering() const { return !m_partial.isEmpty() || m_listLeft > 0; }
    // A new link begins with nothing half read.
    void reset();

private:
    QString m_partial;
    qsizetype m_listLeft = 0;
    Answer m_list;
};

} // namespace garrison
