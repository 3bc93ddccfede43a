#pragma once

#include <QString>

namespace garrison::sim {

struct SimPlayer {
    enum class Kind { Human, Bot, Host };
    enum class State { Connecting, Active, Zombie };

    int slot = 0;
    QString name;
    qint32 guid = 0;
    QString pbGuid;
    Kind kind = Kind::Human;
    State state = State::Active;
    QString ip;
    quint16 port = 28960;
    quint16 qport = 0;
    int score = 0;
    int ping = 0;
    int lastMsg = 0;
    int rate = 25000;
    // World time of the last change of state (connect, begin, leave).
    qint64 since = 0;

    // "a.b.c.d:port" with the port as a signed 16-bit number, "loopback" or "bot".
    QString addressText() const;
    QString plainName() const;
};

} // namespace garrison::sim
