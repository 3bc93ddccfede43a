#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace garrison::relay {

// The four lines of the relay's ini file: server=host:port, myaddr=address:port, login=,
// password=. Keys are matched without regard to case; unknown keys and blank lines are skipped.
// Login and password stay bytes: they go out on the wire exactly as the file holds them.
struct RelayIni {
    QString serverHost;
    quint16 serverPort = 0;
    QString myAddress;
    quint16 myPort = 0;
    QByteArray login;
    QByteArray password;

    // Nothing when a key is missing or an address has no usable port.
    static std::optional<RelayIni> parse(const QByteArray& content);
};

} // namespace garrison::relay
