#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace garrison::relay {

// The relay's datagrams towards the game server. garrison-sim keeps its own copy of this
// format (tools/sim/SimUconFeed); change both together. Every datagram starts with four 0xFF
// bytes, then:
//   relay  -> server  "ucon_hello " login " " password   announces the relay; sent again every
//                                                        few seconds until it is welcomed
//   server -> relay   "ucon_welcome"                     the credentials match a UCON user
//   server -> relay   "ucon_line " line                  one console line, Windows-1252, its
//                                                        source and text separated by 0xFA
// A server sends nothing at all to a relay whose credentials it does not know.
class RelayWire {
public:
    static QByteArray hello(const QByteArray& login, const QByteArray& password);
    static bool isWelcome(QByteArrayView datagram);
    // The console lines a "ucon_line" datagram carries (split at CR and LF, empty ones
    // dropped); empty for every other datagram.
    static QList<QByteArray> lines(QByteArrayView datagram);
};

} // namespace garrison::relay
