#include "ServerSortModel.h"

#include "serverlist/ServerListModel.h"

#include <QDateTime>

namespace garrison {

ServerSortModel::ServerSortModel(QObject* parent) : QSortFilterProxyModel(parent)
{
    // The "C" locale compares code points only: no numbers within texts, no letter case.
    if (QLocale().language() == QLocale::C) {
        m_collator.setLocale(QLocale(QLocale::English));
    }
    m_collator.setNumericMode(true);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    setSortRole(ServerListModel::SortRole);
    setFilterRole(ServerListModel::FilterRole);
    setFilterKeyColumn(-1);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
    // Answers change the cells all the time: rows move to their places as they change.
    setDynamicSortFilter(true);
}

void ServerSortModel::setFilterText(const QString& text)
{
    setFilterFixedString(text.trimmed());
}

bool ServerSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const QVariant a = left.data(sortRole());
    const QVariant b = right.data(sortRole());
    if (a.isNull() || b.isNull()) {
        // The view reverses the answer for a descending order, so it is reversed here first.
        return a.isNull() != b.isNull() && (sortOrder() == Qt::DescendingOrder) == a.isNull();
    }
    switch (a.typeId()) {
    case QMetaType::QString:
        return m_collator.compare(a.toString(), b.toString()) < 0;
    case QMetaType::QDateTime:
        return a.toDateTime() < b.toDateTime();
    default:
        return a.toLongLong() < b.toLongLong();
    }
}

} // namespace garrison
