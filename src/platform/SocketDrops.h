#pragma once

#include <QtGlobal>
#include <optional>

namespace garrison {

// How many datagrams the system dropped for a UDP socket because its receive buffer was full:
// the window could not read them in time. Known on Linux (from /proc/net/udp and udp6);
// nothing elsewhere, or when the socket is not found.
class SocketDrops {
public:
    static std::optional<quint64> count(qintptr descriptor);
};

} // namespace garrison
