#pragma once

#include <QCollator>
#include <QSortFilterProxyModel>

namespace garrison {

// The server list as the user orders and filters it. Sorting compares what the list model
// gives as each column's sort key: numbers as numbers, times as times, texts as read (numbers
// within them by value, so addresses order by their parts); cells with nothing known stay
// last in both orders. The filter keeps rows with the text in any cell, colour codes aside.
class ServerSortModel : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit ServerSortModel(QObject* parent = nullptr);

    // Without letter case; empty shows every row.
    void setFilterText(const QString& text);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QCollator m_collator;
};

} // namespace garrison
