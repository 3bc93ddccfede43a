#include "RelayIni.h"

#include <QList>

namespace garrison::relay {

namespace {

bool splitAddress(const QByteArray& value, bool portZeroAllowed, QString* host, quint16* port)
{
    const qsizetype colon = value.lastIndexOf(':');
    if (colon <= 0) {
        return false;
    }
    bool ok = false;
    const uint number = value.mid(colon + 1).toUInt(&ok);
    if (!ok || number > 65535 || (number == 0 && !portZeroAllowed)) {
        return false;
    }
    *host = QString::fromLatin1(value.left(colon).trimmed());
    *port = static_cast<quint16>(number);
    return !host->isEmpty();
}

} // namespace

std::optional<RelayIni> RelayIni::parse(const QByteArray& content)
{
    RelayIni ini;
    bool server = false;
    bool myaddr = false;
    bool login = false;
    bool password = false;
    const QList<QByteArray> lines = content.split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0) {
            continue;
        }
        const QByteArray key = line.left(equals).trimmed().toLower();
        const QByteArray value = line.mid(equals + 1);
        if (key == "server") {
            server = splitAddress(value, false, &ini.serverHost, &ini.serverPort);
        } else if (key == "myaddr") {
            myaddr = splitAddress(value, true, &ini.myAddress, &ini.myPort);
        } else if (key == "login") {
            ini.login = value.trimmed();
            login = !ini.login.isEmpty();
        } else if (key == "password") {
            ini.password = value.trimmed();
            password = true;
        }
    }
    if (!server || !myaddr || !login || !password) {
        return std::nullopt;
    }
    return ini;
}

} // namespace garrison::relay
