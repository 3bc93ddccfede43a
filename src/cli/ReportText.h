#pragma once

#include <QString>

namespace garrison::cli {

// Text from a game server as garrison-rcon may print it.
namespace ReportText {

// Control characters become \xHH, so that a name cannot move the terminal's cursor or change
// its colours; a backslash becomes \\ so that the escapes stay unambiguous.
QString printable(const QString& text);

// Quoted when it holds a comma, a quote or a line break.
QString csvField(const QString& text);

} // namespace ReportText

} // namespace garrison::cli
