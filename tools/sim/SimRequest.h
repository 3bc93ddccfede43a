#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace garrison::sim {

// One remote-console request: four 0xFF bytes, "rcon ", the password up to the first blank,
// one blank and the command.
struct SimRequest {
    // The engine drops anything larger unread.
    static constexpr qsizetype kMaxDatagram = 16384;

    QString password;
    QString command;

    // Anything that is not such a request gives nothing: it is dropped without a reply.
    static std::optional<SimRequest> parse(QByteArrayView datagram);
    static QByteArray encode(const QString& password, const QString& command);
};

} // namespace garrison::sim
