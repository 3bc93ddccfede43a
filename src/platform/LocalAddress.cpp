#include "LocalAddress.h"

#include <QNetworkInterface>

namespace garrison {

QString localIpAddress()
{
    const QHostAddress chosen(qEnvironmentVariable("GARRISON_LOCAL_ADDRESS"));
    if (chosen.protocol() == QAbstractSocket::IPv4Protocol) {
        return chosen.toString();
    }
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            flags.testFlag(QNetworkInterface::IsLoopBack)) {
            continue;
        }
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                return entry.ip().toString();
            }
        }
    }
    return QStringLiteral("127.0.0.1");
}

} // namespace garrison
