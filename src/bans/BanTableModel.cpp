#include "BanTableModel.h"

#include "platform/CsvText.h"
#include "players/GameColours.h"

#include <QRegularExpression>
#include <array>

namespace garrison {

namespace {

constexpr std::array<const char*, BanTableModel::ColumnCount> kHeaders = {
    "Name", "Guid", "Address", "Reason", "Until", "By", "When", "Servers", "State"};

QString shortTime(const QDateTime& time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                          : QString();
}

} // namespace

BanTableModel::BanTableModel(QObject* parent)
    : QAbstractTableModel(parent), m_now(QDateTime::currentDateTimeUtc())
{}

void BanTableModel::setNow(const QDateTime& now)
{
    m_now = now;
    if (!m_rows.isEmpty()) {
        Q_EMIT dataChanged(index(0, State), index(rowCount() - 1, State));
    }
}

BanTableModel::Row BanTableModel::listedRow(const BanRecord& ban)
{
    Row row;
    row.ban = ban;
    row.searchText = searchTextOf(row);
    return row;
}

QString BanTableModel::searchTextOf(const Row& row)
{
    const BanRecord& ban = row.ban;
    QStringList parts = ban.names;
    parts << ban.guid << ban.address << ban.reason << ban.issuedBy << ban.servers << ban.note
          << QString::number(ban.id);
    return GameColours::shownText(parts.join(QLatin1Char('\n'))).toLower();
}

QList<BanTableModel::Row> BanTableModel::punkBusterRows(const QString& text)
{
    static const QRegularExpression line(QStringLiteral(
        R"re(^\s*(?:PunkBuster Server:\s*)?(\d+)\s+([0-9a-fA-F]+)\(-\)\s+"([^"]*)"\s+(\S+)\s*)re"
        R"re((.*?)\s*(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d)?\s*$)re"));
    QList<Row> rows;
    for (const QString& candidate : text.split(QRegularExpression(QStringLiteral("[\r\n]+")))) {
        const QRegularExpressionMatch match = line.match(candidate);
        if (!match.hasMatch()) {
            continue;
        }
        Row row;
        row.kind = Kind::PunkBuster;
        row.unbanKey = match.captured(1);
        row.ban.id = match.captured(1).toLongLong();
        row.ban.guid = match.captured(2).toLower();
        row.ban.names = QStringList{match.captured(3)};
        QString address = match.captured(4);
        address = address.left(address.lastIndexOf(QLatin1Char(':')) < 0
                                   ? address.size()
                                   : address.lastIndexOf(QLatin1Char(':')));
        if (!QHostAddress(address).isNull()) {
            row.ban.address = address;
        }
        row.ban.reason = match.captured(5);
        row.ban.issuedBy = QStringLiteral("PunkBuster");
        row.ban.issuedAt =
            QDateTime::fromString(match.captured(6), QStringLiteral("MM.dd.yyyy hh:mm:ss"));
        row.searchText = searchTextOf(row);
        rows.append(row);
    }
    return rows;
}

void BanTableModel::setRows(Kind kind, const QList<Row>& rows)
{
    beginResetModel();
    m_rows.removeIf([kind](const Row& row) { return row.kind == kind; });
    for (const Row& row : rows) {
        m_rows.append(prepared(row, kind));
    }
    endResetModel();
}

BanTableModel::Row BanTableModel::prepared(Row row, Kind kind)
{
    row.kind = kind;
    if (row.searchText.isEmpty()) {
        row.searchText = searchTextOf(row);
    }
    row.issuedSeconds = row.ban.issuedAt.isValid() ? row.ban.issuedAt.toSecsSinceEpoch() : 0;
    row.untilSeconds =
        row.ban.until ? row.ban.until->toSecsSinceEpoch() : std::numeric_limits<qint64>::max();
    return row;
}

void BanTableModel::appendBans(const QList<BanRecord>& bans)
{
    if (bans.isEmpty()) {
        return;
    }
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(bans.size()) - 1);
    for (const BanRecord& ban : bans) {
        m_rows.append(prepared(listedRow(ban), Kind::Listed));
    }
    endInsertRows();
}

void BanTableModel::setBans(const QList<BanRecord>& bans)
{
    QList<Row> rows;
    rows.reserve(bans.size());
    for (const BanRecord& ban : bans) {
        rows.append(listedRow(ban));
    }
    setRows(Kind::Listed, rows);
}

int BanTableModel::rowOf(qint64 id) const
{
    for (qsizetype index = 0; index < m_rows.size(); ++index) {
        if (m_rows.at(index).kind == Kind::Listed && m_rows.at(index).ban.id == id) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

int BanTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int BanTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString BanTableModel::untilText(const BanRecord& ban)
{
    return ban.until ? shortTime(*ban.until) : QStringLiteral("permanent");
}

QString BanTableModel::text(int index, Column column) const
{
    const Row& row = m_rows.at(index);
    const BanRecord& ban = row.ban;
    switch (column) {
    case Name:
        return GameColours::shownText(ban.names.value(0));
    case Guid:
        return ban.guid;
    case Address:
        return ban.prefixLength >= 0
                   ? ban.address + QLatin1Char('/') + QString::number(ban.prefixLength)
                   : ban.address;
    case Reason:
        return ban.reason;
    case Until:
        return row.kind == Kind::Listed ? untilText(ban) : QString();
    case By:
        return ban.issuedBy;
    case When:
        return shortTime(ban.issuedAt);
    case Servers:
        return row.kind != Kind::Listed ? tr("this server")
               : ban.servers.isEmpty()  ? tr("all")
                                        : ban.servers.join(QStringLiteral(", "));
    case State:
        switch (row.kind) {
        case Kind::Engine:
            return tr("engine");
        case Kind::PunkBuster:
            return tr("PunkBuster");
        case Kind::Listed:
            break;
        }
        return BanRecord::stateName(ban.state(m_now));
    case ColumnCount:
        break;
    }
    return {};
}

QVariant BanTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const auto column = static_cast<Column>(index.column());
    const BanRecord& ban = m_rows.at(index.row()).ban;
    if (role == kSortRole) {
        if (column == Until) {
            return m_rows.at(index.row()).untilSeconds;
        }
        if (column == When) {
            return m_rows.at(index.row()).issuedSeconds;
        }
        return text(index.row(), column).toLower();
    }
    if (role == Qt::DisplayRole) {
        return text(index.row(), column);
    }
    if (role == Qt::ToolTipRole) {
        if (column == Name) {
            return GameColours::shownText(ban.names.join(QStringLiteral(", ")));
        }
        if (column == State && ban.lifted) {
            return tr("Lifted by %1 at %2: %3")
                .arg(ban.liftedBy, shortTime(ban.liftedAt), ban.liftNote);
        }
        if (column == Reason && !ban.note.isEmpty()) {
            return ban.reason + QStringLiteral("\n") + ban.note;
        }
        return text(index.row(), column);
    }
    return {};
}

QVariant BanTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount) {
        return {};
    }
    return tr(kHeaders.at(static_cast<size_t>(section)));
}

bool BanTableModel::accepts(int index, Filter filter, const QString& lowerSearch) const
{
    const Row& row = m_rows.at(index);
    switch (filter) {
    case Filter::All:
        break;
    case Filter::Server:
        if (row.kind == Kind::Listed) {
            return false;
        }
        break;
    case Filter::Active:
    case Filter::Expired:
    case Filter::Lifted: {
        if (row.kind != Kind::Listed) {
            return false;
        }
        const BanRecord::State wanted = filter == Filter::Active    ? BanRecord::State::Active
                                        : filter == Filter::Expired ? BanRecord::State::Expired
                                                                    : BanRecord::State::Lifted;
        if (row.ban.state(m_now) != wanted) {
            return false;
        }
        break;
    }
    }
    return lowerSearch.isEmpty() || row.searchText.contains(lowerSearch);
}

bool BanTableModel::lessThan(int left, int right, int column) const
{
    const Row& a = m_rows.at(left);
    const Row& b = m_rows.at(right);
    if (column == When) {
        return a.issuedSeconds < b.issuedSeconds;
    }
    if (column == Until) {
        return a.untilSeconds < b.untilSeconds;
    }
    return text(left, static_cast<Column>(column))
               .compare(text(right, static_cast<Column>(column)), Qt::CaseInsensitive) < 0;
}

QString BanTableModel::csv(const QList<int>& rows) const
{
    QStringList lines;
    QStringList header;
    for (int column = 0; column < ColumnCount; ++column) {
        header.append(headerData(column, Qt::Horizontal).toString());
    }
    lines.append(header.join(QLatin1Char(',')));
    for (const int row : rows) {
        QStringList fields;
        for (int column = 0; column < ColumnCount; ++column) {
            QString cell = text(row, static_cast<Column>(column));
            if (column == Name) {
                // Every name, as the game prints them.
                cell = m_rows.at(row).ban.names.join(QStringLiteral("; "));
            }
            fields.append(CsvText::field(cell));
        }
        lines.append(fields.join(QLatin1Char(',')));
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

BanFilterModel::BanFilterModel(QObject* parent) : QSortFilterProxyModel(parent)
{
    setSortRole(BanTableModel::kSortRole);
}

void BanFilterModel::setBanModel(BanTableModel* model)
{
    m_bans = model;
    setSourceModel(model);
}

void BanFilterModel::setSearch(const QString& text)
{
    const QString search = GameColours::shownText(text.trimmed()).toLower();
    if (search == m_search) {
        return;
    }
    m_search = search;
    invalidateRowsFilter();
}

void BanFilterModel::setFilter(BanTableModel::Filter filter)
{
    if (filter == m_filter) {
        return;
    }
    m_filter = filter;
    invalidateRowsFilter();
}

bool BanFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    return m_bans ? m_bans->lessThan(left.row(), right.row(), left.column())
                  : QSortFilterProxyModel::lessThan(left, right);
}

bool BanFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    return !sourceParent.isValid() && m_bans && m_bans->accepts(sourceRow, m_filter, m_search);
}

} // namespace garrison
