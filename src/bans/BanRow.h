#pragma once

#include "bans/BanRecord.h"

#include <QString>

class QSqlQuery;

namespace garrison {

// A ban as a row of a table "bans", the same for garrisond's list and the player history's:
// the id, then fields() in their order. The two keep their lists differently (garrisond one
// item a line, the history a JSON array) and name the end of a ban differently; both keep
// times as seconds since the epoch, NULL for none, and texts never NULL.
class BanRow {
public:
    enum class Lists { Lines, JsonArray };

    BanRow(Lists lists, const QString& untilColumn) : m_lists(lists), m_untilColumn(untilColumn) {}

    // The columns after the id, in the order read() and bind() take them.
    QString fields() const;
    // One placeholder each.
    static QString placeholders();

    // The ban of the query's row: its id in column `first`, the fields after it. A ban is
    // lifted when it has a time of lifting.
    BanRecord read(const QSqlQuery& query, int first = 0) const;
    // Binds the fields (not the id) in their order.
    void bind(QSqlQuery& query, const BanRecord& ban) const;

private:
    Lists m_lists;
    QString m_untilColumn;
};

} // namespace garrison
