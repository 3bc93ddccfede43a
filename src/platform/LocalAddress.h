#pragma once

#include <QString>

namespace garrison {

// This machine's IPv4 address in dotted form, as a socket would report it as its local
// address: the one GARRISON_LOCAL_ADDRESS names (a machine with several networks, a server on
// the same machine), else the first address of an interface that is up and not loopback,
// else 127.0.0.1.
QString localIpAddress();

} // namespace garrison
