#pragma once

#include "rcon/InfoString.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

namespace garrison {

// One player line of a status answer: score ping "name".
struct QueryPlayer {
    QString name; // with its colour codes
    int score = 0;
    int ping = 0;

    friend bool operator==(const QueryPlayer&, const QueryPlayer&) = default;
};

// A server's answer to a connectionless query: four 0xFF bytes, then "infoResponse" and a line
// break and the info string, or "statusResponse", a line break, the server's variables as an
// info string on one line, and one line per player.
struct QueryResponse {
    // The largest message the engine sends; anything longer is not a server's answer.
    static constexpr qsizetype kMaxDatagram = 16384;

    enum class Kind { Info, Status };

    Kind kind = Kind::Info;
    InfoString variables;
    QList<QueryPlayer> players; // status answers only

    QString challenge() const { return variables.value(u"challenge"); }

    // Text is Windows-1252. Nothing for anything else than such an answer; player lines that
    // do not read as one are skipped.
    static std::optional<QueryResponse> parse(QByteArrayView datagram);
    static std::optional<QueryPlayer> parsePlayer(QStringView line);

    // The request: four 0xFF bytes, the word, a blank and the challenge.
    static QByteArray request(Kind kind, const QString& challenge);
};

} // namespace garrison
