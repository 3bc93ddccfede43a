#include "ServerListModel.h"

#include "players/GameColours.h"

#include <QDate>
#include <QHostAddress>
#include <array>

namespace garrison {

namespace {

const std::array<QString, ServerListModel::Columns> kHeaders = {
    QStringLiteral("Name"),     QStringLiteral("Address"),   QStringLiteral("Map"),
    QStringLiteral("Players"),  QStringLiteral("Ping (ms)"), QStringLiteral("Game type"),
    QStringLiteral("Password"), QStringLiteral("Last seen"), QStringLiteral("State")};

const std::array<QString, ServerListModel::Columns> kHeaderTips = {
    QStringLiteral("The saved profile's name, or the name the server gives itself"),
    QStringLiteral("The server's host and port"),
    QStringLiteral("The map being played"),
    QStringLiteral("Players on the server / player slots"),
    QStringLiteral("Milliseconds from the last query to its first answer"),
    QStringLiteral("The game type being played"),
    QStringLiteral("Whether players need a password to join"),
    QStringLiteral("When the server last answered (local time)"),
    QStringLiteral("Whether the server answers the list's queries")};

QString stateText(QueriedServer::State state)
{
    switch (state) {
    case QueriedServer::State::Asking:
        return QStringLiteral("asking");
    case QueriedServer::State::Answering:
        return QStringLiteral("answering");
    case QueriedServer::State::NotAnswering:
        return QStringLiteral("not answering");
    case QueriedServer::State::HostNotFound:
        return QStringLiteral("host not found");
    }
    return {};
}

// Answering servers first, then those still being asked, then the silent ones.
int stateOrder(QueriedServer::State state)
{
    switch (state) {
    case QueriedServer::State::Answering:
        return 0;
    case QueriedServer::State::Asking:
        return 1;
    case QueriedServer::State::NotAnswering:
        return 2;
    case QueriedServer::State::HostNotFound:
        return 3;
    }
    return 4;
}

} // namespace

ServerListModel::ServerListModel(QObject* parent) : QAbstractTableModel(parent)
{
    m_tell.setSingleShot(true);
    m_tell.setInterval(0);
    connect(&m_tell, &QTimer::timeout, this, &ServerListModel::tellChanges);
    connect(&m_query, &ServerQuery::serverChanged, this, &ServerListModel::serverChanged);
}

ServerListModel::~ServerListModel() = default;

void ServerListModel::setEntries(const QList<ServerListEntry>& entries)
{
    if (entries == m_entries) {
        return;
    }
    tellChanges();
    beginResetModel();
    m_entries = entries;
    matchQuery();
    endResetModel();
}

void ServerListModel::addEntry(const ServerListEntry& entry)
{
    tellChanges();
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_entries.append(entry);
    matchQuery();
    endInsertRows();
}

void ServerListModel::removeEntry(int row)
{
    tellChanges();
    beginRemoveRows({}, row, row);
    m_entries.removeAt(row);
    matchQuery();
    endRemoveRows();
}

// The query asks exactly the servers of the entries, each once.
void ServerListModel::matchQuery()
{
    for (int queryRow = m_query.count() - 1; queryRow >= 0; --queryRow) {
        const QueriedServer& server = m_query.server(queryRow);
        const bool wanted =
            std::any_of(m_entries.cbegin(), m_entries.cend(), [&](const ServerListEntry& entry) {
                return entry.host == server.host && entry.port == server.port;
            });
        if (!wanted) {
            m_query.removeServer(queryRow);
        }
    }
    m_queryRows.clear();
    for (const ServerListEntry& entry : m_entries) {
        const int queryRow = m_query.indexOf(entry.host, entry.port);
        m_queryRows.append(queryRow >= 0 ? queryRow : m_query.addServer(entry.host, entry.port));
    }
    m_changed.fill(false, m_entries.size());
}

void ServerListModel::serverChanged(int queryRow)
{
    for (int row = 0; row < m_queryRows.size(); ++row) {
        if (m_queryRows.at(row) == queryRow) {
            m_changed[row] = true;
            m_tell.start();
        }
    }
}

void ServerListModel::tellChanges()
{
    m_tell.stop();
    for (int first = 0; first < m_changed.size(); ++first) {
        if (!m_changed.at(first)) {
            continue;
        }
        int last = first;
        while (last + 1 < m_changed.size() && m_changed.at(last + 1)) {
            ++last;
        }
        std::fill(m_changed.begin() + first, m_changed.begin() + last + 1, false);
        Q_EMIT dataChanged(index(first, 0), index(last, Columns - 1));
        first = last;
    }
}

const QueriedServer& ServerListModel::server(int row) const
{
    return m_query.server(m_queryRows.at(row));
}

int ServerListModel::rowOf(const QString& host, quint16 port) const
{
    for (int row = 0; row < m_entries.size(); ++row) {
        if (m_entries.at(row).port == port &&
            m_entries.at(row).host.compare(host, Qt::CaseInsensitive) == 0) {
            return row;
        }
    }
    return -1;
}

QList<PlayerRow> ServerListModel::playerRows(const QueriedServer& server)
{
    QList<PlayerRow> rows;
    rows.reserve(server.players.size());
    for (const QueryPlayer& player : server.players) {
        PlayerRow row;
        row[PlayerRow::Name] = player.name;
        row[PlayerRow::Score] = QString::number(player.score);
        row[PlayerRow::Ping] = QString::number(player.ping);
        rows.append(row);
    }
    return rows;
}

QString ServerListModel::addressText(const QString& host, quint16 port)
{
    const bool ipv6 = QHostAddress(host).protocol() == QHostAddress::IPv6Protocol;
    return (ipv6 ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

int ServerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int ServerListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant ServerListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return display(row, column);
    case Qt::ToolTipRole:
        return toolTip(row, column);
    case SortRole:
        return sortKey(row, column);
    case FilterRole: {
        QString text = GameColours::shownText(display(row, column).toString());
        if (column == Name) {
            text += u'\n' + GameColours::shownText(server(row).hostName);
        }
        return text;
    }
    case Qt::TextAlignmentRole:
        return static_cast<int>(
            (column == Players || column == Ping ? Qt::AlignRight : Qt::AlignLeft) |
            Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant ServerListModel::display(int row, int column) const
{
    const ServerListEntry& entry = m_entries.at(row);
    const QueriedServer& server = this->server(row);
    const bool everAnswered = server.lastSeen.isValid();
    switch (column) {
    case Name:
        return !entry.name.isEmpty()        ? entry.name
               : !server.hostName.isEmpty() ? server.hostName
                                            : addressText(entry.host, entry.port);
    case Address:
        return addressText(entry.host, entry.port);
    case Map:
        return server.map;
    case Players:
        if (server.clients < 0) {
            return QString();
        }
        return QString::number(server.clients) + u'/' +
               (server.maxClients < 0 ? QStringLiteral("?") : QString::number(server.maxClients));
    case Ping:
        // A ping is news only while the server answers.
        return server.answered() && server.pingMs >= 0 ? QString::number(server.pingMs) : QString();
    case GameType:
        return server.gameType;
    case Password:
        return !everAnswered           ? QString()
               : server.passwordNeeded ? QStringLiteral("yes")
                                       : QStringLiteral("no");
    case LastSeen: {
        if (!everAnswered) {
            return QString();
        }
        const QDateTime local = server.lastSeen.toLocalTime();
        return local.toString(local.date() == QDate::currentDate()
                                  ? QStringLiteral("HH:mm:ss")
                                  : QStringLiteral("yyyy-MM-dd HH:mm"));
    }
    case State:
        return stateText(server.state);
    default:
        return {};
    }
}

QVariant ServerListModel::toolTip(int row, int column) const
{
    const ServerListEntry& entry = m_entries.at(row);
    const QueriedServer& server = this->server(row);
    switch (column) {
    case Name: {
        QStringList lines;
        const QString own = GameColours::shownText(server.hostName).trimmed();
        if (!own.isEmpty()) {
            lines.append(QStringLiteral("The server calls itself \"%1\"").arg(own));
        }
        lines.append(entry.profile > 0 ? QStringLiteral("Saved profile %1").arg(entry.profile)
                                       : QStringLiteral("An address added to the list"));
        lines.append(QStringLiteral("Double-click or press Enter to log in"));
        return lines.join(u'\n');
    }
    case Players:
        return server.playersKnown ? QStringLiteral("Select the row to see the players")
                                   : QVariant();
    case LastSeen:
        return server.lastSeen.isValid()
                   ? server.lastSeen.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                   : QVariant();
    case State:
        switch (server.state) {
        case QueriedServer::State::Asking:
            return QStringLiteral("Waiting for the first answer");
        case QueriedServer::State::NotAnswering:
            return server.lastSeen.isValid()
                       ? QStringLiteral("The last query went unanswered; the values are the last "
                                        "ones the server gave")
                       : QStringLiteral("The server has not answered");
        case QueriedServer::State::HostNotFound:
            return QStringLiteral("The host name does not resolve");
        case QueriedServer::State::Answering:
            break;
        }
        return {};
    default:
        return {};
    }
}

QVariant ServerListModel::sortKey(int row, int column) const
{
    const QueriedServer& server = this->server(row);
    switch (column) {
    case Name:
    case Map:
    case GameType: {
        const QString text = GameColours::shownText(display(row, column).toString()).trimmed();
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case Address:
        return display(row, column);
    case Players:
        return server.clients < 0 ? QVariant() : QVariant(server.clients);
    case Ping:
        return server.answered() && server.pingMs >= 0 ? QVariant(server.pingMs) : QVariant();
    case Password:
        return server.lastSeen.isValid() ? QVariant(server.passwordNeeded ? 1 : 0) : QVariant();
    case LastSeen:
        return server.lastSeen.isValid() ? QVariant(server.lastSeen) : QVariant();
    case State:
        return stateOrder(server.state);
    default:
        return {};
    }
}

QVariant ServerListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= Columns) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (role) {
    case Qt::DisplayRole:
        return kHeaders.at(static_cast<size_t>(section));
    case Qt::ToolTipRole:
        return kHeaderTips.at(static_cast<size_t>(section));
    default:
        return {};
    }
}

} // namespace garrison
