#pragma once

#include <QCollator>
#include <QDateTime>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <functional>

namespace garrison {

// The player grid as the user orders it. Cells pass through unchanged (the name keeps its
// colour codes, for commands and copies); sorting compares what the user reads: numbers as
// numbers, addresses by their parts, names as shown, without codes. Texts that are no number
// ("CNCT", "bot") follow the numbers, and empty cells come last.
class PlayerSortModel : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit PlayerSortModel(QObject* parent = nullptr);

    // A further line for the name's tool tip, from the row's cells (the player history's "first
    // seen" note); empty adds nothing.
    using NameNote = std::function<QString(const QStringList& cells)>;
    void setNameNote(NameNote note) { m_nameNote = std::move(note); }
    // When the player of the row's cells joined, if lately (the game log told it); an invalid
    // time for anyone else. Such rows are marked until marksChanged() says they are no longer.
    using RecentJoin = std::function<QDateTime(const QStringList& cells)>;
    // True on the name cell of such a row. Apart from the server list's roles: its name column
    // is drawn by the same delegate, which reads this one.
    static constexpr int kJoinedRole = Qt::UserRole + 16;
    void setRecentJoin(RecentJoin recentJoin) { m_recentJoin = std::move(recentJoin); }
    void marksChanged();

    // The name as the game shows it, as the name's tool tip.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QCollator m_collator;
    QStringList cellsOf(const QModelIndex& index) const;

    NameNote m_nameNote;
    RecentJoin m_recentJoin;
};

} // namespace garrison
