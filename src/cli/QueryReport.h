#pragma once

#include "cli/CommandLine.h"
#include "rcon/QueriedServer.h"

#include <QString>

namespace garrison::cli {

// A server's answers to getinfo and getstatus as garrison-rcon prints them. Colour codes are
// removed unless raw. Table: the server's values, then the players in aligned columns. JSON:
// one object with host, map, gametype, clients, max_clients, password_needed, ping_ms and
// players (name, score, ping). CSV: a header, then one line per player that also carries the
// server's values. Table and CSV escape control characters (JSON has its own escapes).
QString formatQuery(const QueriedServer& server, Format format, bool raw);

} // namespace garrison::cli
