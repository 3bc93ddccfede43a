#pragma once

#include <QString>

namespace garrison {

// This machine's IPv4 address in dotted form, as a socket would report it as its local
// address: the first address of an interface that is up and not loopback, else 127.0.0.1.
QString localIpAddress();

} // namespace garrison
