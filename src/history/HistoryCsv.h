#pragma once

#include "history/HistoryTypes.h"

#include <QString>

namespace garrison {

// Comma-separated text for spreadsheets: one header line, fields quoted when they hold a
// comma, a quote or a line break, lines ended by CR LF, times as "yyyy-MM-dd hh:mm:ss" UTC.
namespace HistoryCsv {

QString field(const QString& text);
QString time(HistoryTime at);
QString searchResult(const QList<SearchHit>& hits);
// Every part of the record, each after a line naming it.
QString record(const PlayerRecord& record);

} // namespace HistoryCsv

} // namespace garrison
