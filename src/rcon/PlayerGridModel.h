#pragma once

#include "rcon/PlayerRow.h"

#include <QAbstractTableModel>
#include <QList>
#include <array>

namespace garrison {

// The player grid's rows under the fixed header "Name", "Score", "Ping", "Guid", "Slot",
// "IP:Port". Cells are shown as the status parser gives them, aligned left and top.
class PlayerGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Column widths in twips; a view with another unit keeps the proportions.
    static constexpr std::array<int, PlayerRow::ColumnCount> kColumnWidthsTwips = {2000, 665, 545,
                                                                                   4040, 545, 2720};

    // True on every cell while the rows are the last ones of a server that stopped answering.
    static constexpr int kStaleRole = Qt::UserRole + 20;

    explicit PlayerGridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void setRows(QList<PlayerRow> rows);
    const QList<PlayerRow>& rows() const { return m_rows; }
    // The row the player menu acts on; an empty row when there is none at that index.
    PlayerRow row(int index) const;
    // Log-out empties every cell and keeps the rows.
    void clearCells();
    // New rows are fresh again.
    void setStale(bool stale);
    bool isStale() const { return m_stale; }

private:
    QList<PlayerRow> m_rows;
    bool m_stale = false;
};

} // namespace garrison
