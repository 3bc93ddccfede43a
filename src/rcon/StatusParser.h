#pragma once

#include "rcon/PlayerRow.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

namespace garrison {

// Reads the server's answer to "status": a "map:" line, a column header, a dash line and one
// line per player. Fields are found by the structure of a line, not by character positions:
// slot, score, ping and (where the server prints one) guid from the front; address, and where
// printed qport and rate, from the end; the name is what lies between, without the padding.
// Two families of layouts are known:
//   num score ping guid name lastmsg address qport rate   (guid servers)
//   num score ping name lastmsg address qport rate        (older servers without guid)
//   cl score ping name address rate                       (newer servers without guid)
// Real servers print more than the tidy table: guids of 32 hexadecimal digits or none at all,
// ports above 32767 as negative numbers, and where a field overflows its column the blank
// after it goes missing (an address runs into its qport, a long name into a long lastmsg) or
// even the colon between address and port (then the longest dotted quad leaves the port). The
// newer layout prints the address without a port.
namespace StatusParser {

struct StatusTable {
    QString map;           // value of the "map:" line, empty when absent
    QList<PlayerRow> rows; // one per well-formed player line, in reply order
};

// The reply text with the reply headers already removed; lines end in LF or CR LF. The column
// header, when present, decides the layout of the lines after it; malformed lines are skipped.
StatusTable parse(QStringView statusReplyText);

// One player line of any known layout; nullopt for anything else (header, dashes, residue).
// Cells hold clean values: the name keeps its colour codes but loses the padding and the
// colour reset the server writes after it; the address is "ip:port" (or the bare ip the newer
// layout prints), "bot" or "loopback" without colour codes, and a port the server printed as a
// negative 16-bit number is the real port. A guid column left empty gives an empty guid; a name
// that begins with a number then loses it to the guid, as nothing tells the two apart.
std::optional<PlayerRow> parsePlayerLine(QStringView line);

} // namespace StatusParser

} // namespace garrison
