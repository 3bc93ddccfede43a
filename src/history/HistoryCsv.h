#pragma once

#include "history/HistoryTypes.h"

#include <QString>

namespace garrison {

// Comma-separated text for spreadsheets: one header line, fields as CsvText makes them (a
// name is never read as a formula), lines ended by CR LF. Times are "yyyy-MM-dd hh:mm:ss" in
// UTC (ISO 8601 with a blank, which spreadsheets read as a date in every locale; the headers
// say UTC). Names and host names are shown without colour codes; commands stay as sent.
namespace HistoryCsv {

QString time(HistoryTime at);
QString searchResult(const QList<SearchHit>& hits);
// Every part of the record, each after a line naming it; the player is named by his latest
// name (his guid when no name is left).
QString record(const PlayerRecord& record);

} // namespace HistoryCsv

} // namespace garrison
