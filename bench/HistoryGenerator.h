#pragma once

#include "history/HistoryTypes.h"
#include "rcon/PlayerRow.h"

#include <QList>
#include <QString>

namespace garrison {

class HistoryDatabase;

// Fills a history with made-up but plausible traffic, fast (bulk inserts in one transaction),
// for the benchmarks and for measuring how large a history grows.
namespace HistoryGenerator {

struct Shape {
    int players = 1000;
    int namesPerPlayer = 2; // on average; some players keep one name, some rename often
    int addressesPerPlayer = 2;
    int sessionsPerPlayer = 5;
    int days = 90;
    int countEveryMinutes = 1; // one player count per status reply
    HistoryTime end = 1'765'000'000;
    quint32 seed = 1;
};

// A name with the game's colour codes now and then.
QString name(quint32 number);
// A 64-player status table with the guids 1000000000 + slot.
QList<PlayerRow> fullStatus(int round = 0);

// Inserts the shape's players, names, addresses, sessions and counts on server "bench:28960".
bool fill(HistoryDatabase& database, const Shape& shape);
// One player with this many names, sessions and actions; returns his id.
qint64 heavyPlayer(HistoryDatabase& database, int names, int sessions, int actions);

} // namespace HistoryGenerator

} // namespace garrison
