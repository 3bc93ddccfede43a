#pragma once

#include <QString>

namespace garrison::sim {

// A player barred from the server; a ban with `until` below zero never ends.
struct SimBan {
    enum class Source { Game, PunkBuster };

    qint32 guid = 0;
    QString name;
    QString ip;
    Source source = Source::Game;
    qint64 until = -1;
};

} // namespace garrison::sim
