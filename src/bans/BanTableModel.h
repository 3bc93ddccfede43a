#pragma once

#include "bans/BanRecord.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QList>
#include <QSortFilterProxyModel>

namespace garrison {

// The rows of the ban list window: the session's own bans, and read-only ones that the game
// server keeps itself (the engine's, PunkBuster's), which can only be unbanned there.
class BanTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Name, Guid, Address, Reason, Until, By, When, Servers, State, ColumnCount };
    enum class Kind { Listed, Engine, PunkBuster };
    // The rows that a state filter keeps.
    enum class Filter { All, Active, Expired, Lifted, Server };

    struct Row {
        Kind kind = Kind::Listed;
        BanRecord ban;
        // What the server's own unban takes: the engine's player name, PunkBuster's ban number.
        QString unbanKey;
        // Every shown text in lower case, colour codes removed: what the search looks in.
        QString searchText;
        // Seconds since the epoch, for sorting without converting times at each comparison;
        // a permanent ban ends last.
        qint64 issuedSeconds = 0;
        qint64 untilSeconds = 0;
    };

    // The sort role: times as numbers, the rest as shown.
    static constexpr int kSortRole = Qt::UserRole;

    explicit BanTableModel(QObject* parent = nullptr);

    void setNow(const QDateTime& now);
    // Replaces the rows of one kind, keeping the others.
    void setRows(Kind kind, const QList<Row>& rows);
    void setBans(const QList<BanRecord>& bans);
    // More of the list, read by pages.
    void appendBans(const QList<BanRecord>& bans);
    const Row& row(int index) const { return m_rows.at(index); }
    // The row of the ban with this id among the listed ones; -1 when none.
    int rowOf(qint64 id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    QString text(int row, Column column) const;
    bool accepts(int row, Filter filter, const QString& lowerSearch) const;
    // The order of two rows by a column: times by time, the rest by text, case ignored.
    bool lessThan(int left, int right, int column) const;
    // The rows, in this order, as comma-separated text with a header line (CR LF lines).
    QString csv(const QList<int>& rows) const;

    static Row listedRow(const BanRecord& ban);
    // The row with its kind and the values it is searched and sorted by.
    static Row prepared(Row row, Kind kind);
    // The rows of PunkBuster's ban list as pb_sv_banlist prints it ("1 <guid>(-) "name"
    // address reason date"); lines that are no ban are skipped.
    static QList<Row> punkBusterRows(const QString& text);
    static QString searchTextOf(const Row& row);
    // "permanent", or the local time.
    static QString untilText(const BanRecord& ban);

private:
    QList<Row> m_rows;
    QDateTime m_now;
};

// Search and state filter over a BanTableModel.
class BanFilterModel : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit BanFilterModel(QObject* parent = nullptr);

    void setBanModel(BanTableModel* model);
    // Text in names, guid, address, reason, who issued it, servers (case and colours ignored).
    void setSearch(const QString& text);
    void setFilter(BanTableModel::Filter filter);
    // The model's clock moved on: timed bans may have ended.
    void refilter() { invalidateRowsFilter(); }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    BanTableModel* m_bans = nullptr;
    QString m_search;
    BanTableModel::Filter m_filter = BanTableModel::Filter::All;
};

} // namespace garrison
