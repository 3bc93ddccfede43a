#pragma once

#include "rcon/PlayerRow.h"
#include "rcon/ServerQuery.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QTimer>

namespace garrison {

// One server of the list: a saved profile or an address the user added.
struct ServerListEntry {
    QString name; // empty: the list shows the name the server gives itself
    QString host;
    quint16 port = 0;
    int profile = 0; // the saved profile's slot; 0 for an added address

    friend bool operator==(const ServerListEntry&, const ServerListEntry&) = default;
};

// The server list: one row per entry, filled from the connectionless queries of its own
// ServerQuery. Entries that name the same server share its query, so that no server is asked
// twice; a server that stops answering keeps its row and its last values. Changes are told
// once the event loop comes round, one signal per run of changed rows: a round's answers
// come in bursts, and every signal costs a sorted and filtered view a pass over its rows.
class ServerListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Name, Address, Map, Players, Ping, GameType, Password, LastSeen, State, Columns };
    enum Role {
        // What the column orders by: a number, a text or a time; nothing when not known, so
        // that unknown cells can stay last.
        SortRole = Qt::UserRole,
        // The cell as read, without colour codes; the name also matches the server's own name.
        FilterRole,
    };

    explicit ServerListModel(QObject* parent = nullptr);
    ~ServerListModel() override;

    ServerQuery& query() { return m_query; }

    // Replaces the entries; servers still listed keep what they answered.
    void setEntries(const QList<ServerListEntry>& entries);
    void addEntry(const ServerListEntry& entry);
    void removeEntry(int row);
    const QList<ServerListEntry>& entries() const { return m_entries; }
    const ServerListEntry& entry(int row) const { return m_entries.at(row); }
    const QueriedServer& server(int row) const;
    // The first row of that server; -1 when it is not listed.
    int rowOf(const QString& host, quint16 port) const;

    // The server's players as player-grid rows (name, score and ping; no guid, slot or address).
    static QList<PlayerRow> playerRows(const QueriedServer& server);
    // "host:port", with an IPv6 address in brackets.
    static QString addressText(const QString& host, quint16 port);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void matchQuery();
    void serverChanged(int queryRow);
    void tellChanges();
    QVariant display(int row, int column) const;
    QVariant toolTip(int row, int column) const;
    QVariant sortKey(int row, int column) const;

    ServerQuery m_query;
    QList<ServerListEntry> m_entries;
    QList<int> m_queryRows; // of each entry
    QList<bool> m_changed;  // of each entry, not told yet
    QTimer m_tell;
};

} // namespace garrison
