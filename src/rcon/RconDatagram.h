#pragma once

#include <QByteArray>
#include <QString>

namespace garrison {

// The remote console's datagrams.
namespace RconDatagram {

// Four 0xFF bytes, "rcon ", the password, one blank and the command; nothing after it.
QByteArray request(const QString& password, const QString& command);

// A reply as text: the reply header (four 0xFF, "print", LF) removed wherever it stands,
// every LF turned into CR LF and every "^7 " into three blanks.
QString cleanReply(const QByteArray& datagram);

} // namespace RconDatagram

} // namespace garrison
