#pragma once

#include <QString>

namespace garrison {

// How the history identifies players and what it searches by.
namespace HistoryKeys {

// The name without the colour codes "^0" to "^7", in lower case.
QString plainName(const QString& name);
// A guid made of digits and not all zeros; bots and servers without guids have none.
bool isGuid(const QString& guid);
// Players with a guid are one player on every server; the others are told apart by their
// name (without colour codes) on one server.
QString playerKey(const QString& serverKey, const QString& guid, const QString& name);
// The address without its port: "192.0.2.10:28960" gives "192.0.2.10"; "bot" stays "bot".
QString host(const QString& address);

} // namespace HistoryKeys

} // namespace garrison
