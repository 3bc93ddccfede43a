#pragma once

#include "rcon/InfoString.h"
#include "rcon/QueryResponse.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace garrison {

// What the connectionless queries tell about one server: one row of a server list. A server
// that stops answering keeps the values it last gave, with its state saying so.
struct QueriedServer {
    enum class State {
        Asking,       // added, no answer yet
        Answering,    // answered the last query
        NotAnswering, // the last query went unanswered
        HostNotFound, // the name does not resolve; never asked
    };

    QString host; // as added: a name or an address
    quint16 port = 0;
    State state = State::Asking;

    QString hostName; // colour codes kept
    QString map;
    QString gameType;
    int clients = -1; // -1: not known yet
    int maxClients = -1;
    bool passwordNeeded = false;
    int pingMs = -1; // from the query to its first answer, of the last answered query
    QList<QueryPlayer> players;
    bool playersKnown = false; // a status answer came: players is the list, not just empty
    InfoString variables;      // the server's variables from the status answer
    QDateTime lastSeen;        // UTC; invalid until the first answer

    bool answered() const { return state == State::Answering; }

    friend bool operator==(const QueriedServer&, const QueriedServer&) = default;
};

} // namespace garrison
