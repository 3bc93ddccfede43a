#include "StatusParser.h"

#include "rcon/TextLines.h"

#include <algorithm>

namespace garrison::StatusParser {

namespace {

struct Replacement {
    QString from;
    QString to;
};

QString dashes(int count, bool blankAfter)
{
    return QString(count, QLatin1Char('-')) + (blankAfter ? QStringLiteral(" ") : QString());
}

const QList<Replacement>& replacements()
{
    static const QList<Replacement> kList = [] {
        QList<Replacement> list;
        const QString blank = QStringLiteral(" ");
        for (const char* text : {"map: ",         "num ",
                                 "mp_airfield",   "mp_asylum",
                                 "mp_castle",     "mp_cliffside",
                                 "mp_courtyard",  "mp_dome",
                                 "mp_downfall",   "mp_hangar",
                                 "mp_makin",      "mp_outskirts",
                                 "mp_roundhouse", "mp_seelow",
                                 "mp_upheaval",   "rate",
                                 "score ",        "ping ",
                                 "guid   ",       "name            ",
                                 "lastmsg ",      "address               ",
                                 "qport "}) {
            list.append({QString::fromLatin1(text), QString()});
        }
        for (const auto& [count, blankAfter] :
             {std::pair{32, true}, std::pair{21, true}, std::pair{15, true}, std::pair{7, true},
              std::pair{5, true}, std::pair{5, false}, std::pair{4, true}, std::pair{3, true}}) {
            list.append({dashes(count, blankAfter), blank});
        }
        return list;
    }();
    return kList;
}

QStringView trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' ')) {
        ++begin;
    }
    while (end > begin && text[end - 1] == QLatin1Char(' ')) {
        --end;
    }
    return text.sliced(begin, end - begin);
}

PlayerRow headerRow()
{
    PlayerRow header;
    for (int column = 0; column < PlayerRow::ColumnCount; ++column) {
        header[column] = kPlayerColumnHeaders[static_cast<size_t>(column)].toString();
    }
    return header;
}

// The grid's rule for a removal by position, row 0 being its fixed row. A position outside the
// grid is refused, and so is any removal that would leave the fixed row alone. The fixed row
// itself may go: the row below it takes its place. The grid shows its column titles on its own,
// so nothing visible is lost, and the clean-up then leaves one residue row above the players
// instead of two (the count label reads one player too many instead of two).
void removeRow(QList<PlayerRow>& grid, qsizetype index)
{
    if (index < 0 || index >= grid.size() || grid.size() <= 2) {
        return;
    }
    grid.removeAt(index);
}

} // namespace

QString RemoveBlanks(const QString& text)
{
    return collapseBlankLines(text);
}

QString Cleanup(const QString& accumulatedReplies)
{
    QString text = accumulatedReplies;
    for (const Replacement& replacement : replacements()) {
        text.replace(replacement.from, replacement.to);
    }
    return RemoveBlanks(text);
}

PlayerRow cut(QStringView line)
{
    PlayerRow row;
    row[PlayerRow::Name] = line.mid(26, 15).toString();
    row[PlayerRow::Score] = line.mid(4, 5).toString();
    row[PlayerRow::Ping] = line.mid(10, 4).toString();
    row[PlayerRow::Guid] = line.mid(15, 10).toString();
    row[PlayerRow::Slot] = line.mid(0, 3).toString();
    QString address = trimBlanks(line.mid(50, 21)).toString();
    address.remove(QStringLiteral("0 "));
    row[PlayerRow::Address] = address;
    return row;
}

GridFill FillGrid(const QString& cleanedText)
{
    const QList<QStringView> lines = lineViews(cleanedText);
    const qsizetype cutCount = std::min<qsizetype>(lines.size(), kMaxLineNumber);

    // Row 0 is the header; row 1 is the cleared row the grid held before the header went in.
    QList<PlayerRow> grid;
    grid.reserve(cutCount + 2);
    grid.append(headerRow());
    grid.append(PlayerRow{});
    for (qsizetype i = 0; i < cutCount; ++i) {
        grid.append(cut(lines[i]));
    }

    // Four fixed requests in this order; the last names no row and is always refused.
    removeRow(grid, 0);
    removeRow(grid, 1);
    removeRow(grid, 1);
    removeRow(grid, grid.size());

    GridFill fill;
    fill.lineCount = static_cast<int>(lines.size());
    fill.playerCountText = QString::number(grid.size() - 2);
    grid.removeFirst();
    fill.rows = std::move(grid);
    return fill;
}

GridFill GetPlayers(const QString& accumulatedReplies)
{
    return FillGrid(Cleanup(accumulatedReplies));
}

} // namespace garrison::StatusParser
