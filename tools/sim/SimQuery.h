#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace garrison::sim {

class SimConsole;

// A connectionless query: four 0xFF bytes, "getinfo" or "getstatus", and a challenge that the
// answer echoes. Nobody needs a password for it.
struct SimQuery {
    enum class Kind { Info, Status };
    // The engine answers no query with a longer challenge.
    static constexpr qsizetype kMaxChallenge = 128;

    Kind kind = Kind::Info;
    QString challenge;

    // Nothing when the datagram is no such query.
    static std::optional<SimQuery> parse(QByteArrayView datagram);
    QString word() const;

    // "infoResponse" with the few values a server list shows, or "statusResponse" with the
    // server's variables and one line "score ping "name"" per connected player.
    QByteArray answer(const SimConsole& console) const;
};

} // namespace garrison::sim
