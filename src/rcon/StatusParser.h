#pragma once

#include "rcon/PlayerRow.h"

#include <QList>
#include <QString>
#include <QStringView>

namespace garrison {

// Turns the accumulated replies to "status" into the rows of the player grid.
namespace StatusParser {

// The grid's rows below its header and the player count label's text.
struct GridFill {
    QList<PlayerRow> rows;
    QString playerCountText;
    int lineCount = 0; // lines of the cleaned text
};

// The accumulated reply text with the map line, the column header and the dash line emptied
// (over the whole text: a player name holding one of those words loses it), blank lines
// collapsed.
QString Cleanup(const QString& accumulatedReplies);
// Collapses blank lines; its line count is what FillGrid walks.
QString RemoveBlanks(const QString& text);

// The six fields of one status line, cut at fixed character positions.
PlayerRow cut(QStringView line);

// Every line of the cleaned text becomes a row, then the grid's fixed clean-up removals run.
// The caller queries the map name afterwards.
GridFill FillGrid(const QString& cleanedText);

// Cleanup, then FillGrid.
GridFill GetPlayers(const QString& accumulatedReplies);

// Lines past this one are not cut: the line counter is 16 bits wide.
constexpr int kMaxLineNumber = 32767;

} // namespace StatusParser

} // namespace garrison
