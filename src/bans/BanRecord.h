#pragma once

#include <QDateTime>
#include <QHostAddress>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace garrison {

// One ban, as garrisond, the history database, GARRISON's ban list and garrison-rcon know it.
struct BanRecord {
    enum class State { Active, Expired, Lifted };

    qint64 id = 0;
    QStringList names;
    // As the server prints it: digits, or 32 hexadecimal characters. Empty for an address ban.
    QString guid;
    // Empty for a guid ban; with prefixLength >= 0 a range (192.0.2.0/24).
    QString address;
    int prefixLength = -1;
    QString reason;
    // None: permanent.
    std::optional<QDateTime> until;
    // A daemon account, or "rcon" for a direct session.
    QString issuedBy;
    QDateTime issuedAt;
    // Names of servers (their server_name); empty for every server.
    QStringList servers;
    QString note;
    // The player's last chat lines when the ban was issued through garrisond.
    QStringList evidence;
    bool lifted = false;
    QString liftedBy;
    QDateTime liftedAt;
    QString liftNote;

    static constexpr qsizetype kMaxNameLength = 64;
    static constexpr qsizetype kMaxReasonLength = 300;
    static constexpr qsizetype kMaxNoteLength = 1000;
    static constexpr qsizetype kMaxServers = 64;

    // What makes this ban unfit to keep, for the one who gave it ("the reason has 10000
    // characters; at most 300"), or empty. Colour codes are the players' own and stay; control
    // characters are refused, as they would reach consoles and terminals.
    QString problem() const;

    State state(const QDateTime& now) const;
    bool coversServer(const QString& serverName) const;
    // Whether a player with this guid and address, on that server, is kept out at `now`.
    bool keepsOut(const QString& playerGuid, const QString& playerAddress,
                  const QString& serverName, const QDateTime& now) const;

    // The JSON object of garrison-rcon's "bans list --format json" and of the daemon's
    // answers: id, names, guid, address, reason, until (ISO 8601 UTC or null), by, at,
    // servers, state, and the rest.
    QJsonObject toJson(const QDateTime& now) const;
    static std::optional<BanRecord> fromJson(const QJsonObject& object, QString* error = nullptr);

    static QString stateName(State state);
    // The host of an address as the server prints it ("192.0.2.7:28960", "[2001:db8::1]:28960"),
    // in QHostAddress's spelling; empty when it holds none.
    static QString playerHost(const QString& playerAddress);
    // "192.0.2.7", "192.0.2.0/24", "2001:db8::/48"; false, with the reason, when not one.
    static bool parseAddress(const QString& text, QString* address, int* prefixLength,
                             QString* error = nullptr);
    // A guid the way servers print them: up to 20 digits or exactly 32 hex characters,
    // kept in lower case.
    static std::optional<QString> normalisedGuid(const QString& text);
};

} // namespace garrison
