#include "PlayerGridModel.h"

#include <utility>

namespace garrison {

PlayerGridModel::PlayerGridModel(QObject* parent) : QAbstractTableModel(parent) {}

int PlayerGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PlayerGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : PlayerRow::ColumnCount;
}

QVariant PlayerGridModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_rows.at(index.row())[index.column()];
    case Qt::TextAlignmentRole:
        return static_cast<int>(Qt::AlignLeft | Qt::AlignTop);
    case kStaleRole:
        return m_stale;
    default:
        return {};
    }
}

QVariant PlayerGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= PlayerRow::ColumnCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (role) {
    case Qt::DisplayRole:
        return kPlayerColumnHeaders[static_cast<size_t>(section)].toString();
    case Qt::TextAlignmentRole:
        return static_cast<int>(Qt::AlignLeft | Qt::AlignTop);
    default:
        return {};
    }
}

void PlayerGridModel::setRows(QList<PlayerRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_stale = false;
    endResetModel();
}

void PlayerGridModel::setStale(bool stale)
{
    if (std::exchange(m_stale, stale) == stale || m_rows.isEmpty()) {
        return;
    }
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, PlayerRow::ColumnCount - 1),
                       {kStaleRole});
}

PlayerRow PlayerGridModel::row(int index) const
{
    return index >= 0 && index < m_rows.size() ? m_rows.at(index) : PlayerRow{};
}

void PlayerGridModel::clearCells()
{
    if (m_rows.isEmpty()) {
        return;
    }
    for (PlayerRow& row : m_rows) {
        row = PlayerRow{};
    }
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, PlayerRow::ColumnCount - 1),
                       {Qt::DisplayRole, Qt::EditRole});
}

} // namespace garrison
