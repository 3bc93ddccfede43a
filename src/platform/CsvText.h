#pragma once

#include <QString>

namespace garrison {

// Comma-separated text that spreadsheets open safely; shared by every CSV the programs write.
namespace CsvText {

// The text as one field: quoted when it holds a comma, a quote or a line break. A text that a
// spreadsheet would take for a formula (it starts with "=", "+", "-" or "@") is quoted and
// led by an apostrophe, so that a player's name can never run as one; a plain number such as
// a negative score stays a number.
QString field(const QString& text);

} // namespace CsvText

} // namespace garrison
