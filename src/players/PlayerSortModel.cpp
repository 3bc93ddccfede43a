#include "PlayerSortModel.h"

#include "players/GameColours.h"
#include "rcon/PlayerRow.h"

#include <QList>
#include <algorithm>
#include <optional>

namespace garrison {

namespace {

// Cells order by group first: numbers, then other text, then nothing.
enum class Group { Number, Text, Empty };

struct Key {
    Group group = Group::Empty;
    QList<qint64> numbers;
    QString text;
};

// "192.0.2.10:28960" as five numbers; nullopt for anything else.
std::optional<QList<qint64>> addressParts(const QString& text)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    const QStringList octets = text.left(colon < 0 ? text.size() : colon).split(QLatin1Char('.'));
    if (octets.size() != 4) {
        return std::nullopt;
    }
    QList<qint64> parts;
    for (const QString& octet : octets) {
        bool ok = false;
        parts.append(octet.toLongLong(&ok));
        if (!ok) {
            return std::nullopt;
        }
    }
    if (colon >= 0) {
        bool ok = false;
        parts.append(text.mid(colon + 1).toLongLong(&ok));
        if (!ok) {
            return std::nullopt;
        }
    }
    return parts;
}

Key keyOf(int column, const QString& cell)
{
    Key key;
    key.text = cell.trimmed();
    if (key.text.isEmpty()) {
        return key;
    }
    key.group = Group::Text;
    if (column == PlayerRow::Address) {
        if (const auto parts = addressParts(key.text)) {
            key.group = Group::Number;
            key.numbers = *parts;
        }
        return key;
    }
    const bool digits =
        std::all_of(key.text.cbegin(), key.text.cend(), [](QChar c) { return c.isDigit(); });
    if (column == PlayerRow::Guid && digits) {
        // Guids may be longer than any integer: the shorter is the smaller, and equal lengths
        // compare as text.
        key.group = Group::Number;
        key.numbers = {key.text.size()};
        return key;
    }
    bool ok = false;
    const qint64 number = key.text.toLongLong(&ok);
    if (ok) {
        key.group = Group::Number;
        key.numbers = {number};
    }
    return key;
}

} // namespace

PlayerSortModel::PlayerSortModel(QObject* parent) : QSortFilterProxyModel(parent)
{
    // The "C" locale compares code points only: no numbers within names, no letter case.
    if (QLocale().language() == QLocale::C) {
        m_collator.setLocale(QLocale(QLocale::English));
    }
    m_collator.setNumericMode(true);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
}

void PlayerSortModel::marksChanged()
{
    if (rowCount() > 0) {
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

QStringList PlayerSortModel::cellsOf(const QModelIndex& index) const
{
    QStringList cells;
    for (int column = 0; column < columnCount(); ++column) {
        cells.append(index.siblingAtColumn(column).data().toString());
    }
    return cells;
}

QVariant PlayerSortModel::data(const QModelIndex& index, int role) const
{
    if (role == kJoinedRole) {
        return index.column() == PlayerRow::Name && m_recentJoin &&
               m_recentJoin(cellsOf(index)).isValid();
    }
    if (role == Qt::ToolTipRole && index.column() == PlayerRow::Name) {
        const QString shown =
            GameColours::shownText(QSortFilterProxyModel::data(index, Qt::DisplayRole).toString())
                .trimmed();
        if (shown.isEmpty()) {
            return {};
        }
        const QStringList cells = cellsOf(index);
        QString note = m_nameNote ? m_nameNote(cells) : QString();
        if (const QDateTime joined = m_recentJoin ? m_recentJoin(cells) : QDateTime();
            joined.isValid()) {
            const QString line =
                tr("Joined at %1").arg(joined.toLocalTime().toString(QStringLiteral("HH:mm:ss")));
            note = note.isEmpty() ? line : line + QLatin1Char('\n') + note;
        }
        return note.isEmpty() ? shown : shown + QLatin1Char('\n') + note;
    }
    return QSortFilterProxyModel::data(index, role);
}

bool PlayerSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const int column = left.column();
    // Empty cells (the status reply's residue rows) stay at the bottom in both orders; the view
    // reverses the answer for a descending order, so it is reversed here first.
    const bool descending = sortOrder() == Qt::DescendingOrder;
    const auto emptyLast = [descending](bool leftEmpty) {
        return descending ? leftEmpty : !leftEmpty;
    };
    const QString leftCell = left.data(Qt::DisplayRole).toString();
    const QString rightCell = right.data(Qt::DisplayRole).toString();
    if (column == PlayerRow::Name) {
        const QString a = GameColours::shownText(leftCell).trimmed();
        const QString b = GameColours::shownText(rightCell).trimmed();
        if (a.isEmpty() != b.isEmpty()) {
            return emptyLast(a.isEmpty());
        }
        return m_collator.compare(a, b) < 0;
    }
    const Key a = keyOf(column, leftCell);
    const Key b = keyOf(column, rightCell);
    if ((a.group == Group::Empty) != (b.group == Group::Empty)) {
        return emptyLast(a.group == Group::Empty);
    }
    if (a.group != b.group) {
        return a.group < b.group;
    }
    if (a.numbers != b.numbers) {
        return a.numbers < b.numbers;
    }
    return a.group == Group::Number ? a.text < b.text : m_collator.compare(a.text, b.text) < 0;
}

} // namespace garrison
