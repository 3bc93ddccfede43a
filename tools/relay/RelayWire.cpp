#include "RelayWire.h"

namespace garrison::relay {

namespace {
constexpr QByteArrayView kHeader("\xFF\xFF\xFF\xFF");
constexpr QByteArrayView kHello("ucon_hello ");
constexpr QByteArrayView kWelcome("ucon_welcome");
constexpr QByteArrayView kLine("ucon_line ");
} // namespace

QByteArray RelayWire::hello(const QByteArray& login, const QByteArray& password)
{
    return kHeader.toByteArray() + kHello.toByteArray() + login + ' ' + password;
}

bool RelayWire::isWelcome(QByteArrayView datagram)
{
    return datagram.startsWith(kHeader) && datagram.sliced(kHeader.size()) == kWelcome;
}

QList<QByteArray> RelayWire::lines(QByteArrayView datagram)
{
    QList<QByteArray> result;
    if (!datagram.startsWith(kHeader) || !datagram.sliced(kHeader.size()).startsWith(kLine)) {
        return result;
    }
    QByteArrayView rest = datagram.sliced(kHeader.size() + kLine.size());
    while (!rest.isEmpty()) {
        qsizetype end = 0;
        while (end < rest.size() && rest[end] != '\r' && rest[end] != '\n') {
            ++end;
        }
        if (end > 0) {
            result.append(rest.first(end).toByteArray());
        }
        rest = rest.sliced(end < rest.size() ? end + 1 : end);
    }
    return result;
}

} // namespace garrison::relay
