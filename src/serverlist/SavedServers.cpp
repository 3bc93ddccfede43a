#include "SavedServers.h"

#include "login/ConnectionProfiles.h"
#include "platform/SettingsStore.h"

#include <QHostAddress>

namespace garrison {

namespace {

std::optional<quint16> portOf(QStringView text)
{
    if (text.isEmpty() || !text.front().isDigit()) {
        return std::nullopt;
    }
    bool ok = false;
    const uint port = text.toUInt(&ok);
    if (!ok || port == 0 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<quint16>(port);
}

bool isHostName(QStringView host)
{
    return !host.isEmpty() && std::all_of(host.begin(), host.end(), [](QChar c) {
        return (c.isLetterOrNumber() && c.unicode() < 128) || c == u'.' || c == u'-' || c == u'_';
    });
}

} // namespace

QList<ServerListEntry> SavedServers::load(QStringList* skipped)
{
    QList<ServerListEntry> entries;
    for (int slot = 1; slot <= ConnectionProfiles::kSlots; ++slot) {
        const ProfileFields fields = ConnectionProfiles::load(slot);
        const QString host = fields.serverAddress.trimmed();
        if (host.isEmpty()) {
            continue;
        }
        const std::optional<quint16> port = portOf(fields.serverPort.trimmed());
        if (!port) {
            if (skipped != nullptr) {
                skipped->append(QStringLiteral("%1 (port \"%2\")")
                                    .arg(ConnectionProfiles::caption(slot), fields.serverPort));
            }
            continue;
        }
        entries.append({ConnectionProfiles::caption(slot), host, *port, slot});
    }
    // An address added before a profile for the same server was saved is that profile's row.
    const auto listed = [&entries](const Address& address) {
        return std::any_of(entries.cbegin(), entries.cend(), [&](const ServerListEntry& entry) {
            return entry.port == address.port &&
                   entry.host.compare(address.host, Qt::CaseInsensitive) == 0;
        });
    };
    for (const Address& address : addedAddresses()) {
        if (!listed(address)) {
            entries.append({QString(), address.host, address.port, 0});
        }
    }
    return entries;
}

QList<SavedServers::Address> SavedServers::addedAddresses()
{
    QList<Address> addresses;
    const QString stored = SettingsStore::read(kSection, kAddressesKey);
    for (const QStringView text : QStringView(stored).split(u' ', Qt::SkipEmptyParts)) {
        if (const std::optional<Address> address = parseAddress(text)) {
            addresses.append(*address);
        }
    }
    return addresses;
}

void SavedServers::saveAddedAddresses(const QList<Address>& addresses)
{
    QStringList texts;
    for (const Address& address : addresses) {
        texts.append(ServerListModel::addressText(address.host, address.port));
    }
    SettingsStore::write(kSection, kAddressesKey, texts.join(u' '));
}

std::optional<SavedServers::Address> SavedServers::parseAddress(QStringView text, QString* error)
{
    const auto fail = [&](const QString& reason) -> std::optional<Address> {
        if (error != nullptr) {
            *error = reason;
        }
        return std::nullopt;
    };
    const QString example = QStringLiteral("for example 192.0.2.10:%1 or "
                                           "game.example.org (port %1)")
                                .arg(kDefaultPort);
    text = text.trimmed();
    if (text.isEmpty()) {
        return fail(QStringLiteral("Type the server's address, %1.").arg(example));
    }
    const auto isIpv6 = [](QStringView host) {
        return QHostAddress(host.toString()).protocol() == QHostAddress::IPv6Protocol;
    };
    QStringView host = text;
    std::optional<QStringView> port;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        host = close < 0 ? QStringView() : text.sliced(1, close - 1);
        const QStringView rest = close < 0 ? QStringView() : text.sliced(close + 1);
        if (close < 0 || !isIpv6(host) || (!rest.isEmpty() && !rest.startsWith(u':'))) {
            return fail(QStringLiteral("\"%1\" is no server address: an IPv6 address goes in "
                                       "brackets, as in [2001:db8::10]:%2.")
                            .arg(text, QString::number(kDefaultPort)));
        }
        if (!rest.isEmpty()) {
            port = rest.sliced(1);
        }
    } else if (const qsizetype colons = text.count(u':'); colons == 1) {
        const qsizetype colon = text.indexOf(u':');
        host = text.first(colon);
        port = text.sliced(colon + 1);
    } else if (colons > 1 && !isIpv6(text)) {
        return fail(QStringLiteral("\"%1\" is no server address, %2.").arg(text, example));
    }
    if (QHostAddress(host.toString()).isNull() && !isHostName(host)) {
        return fail(QStringLiteral("\"%1\" is no host name or address, %2.").arg(host, example));
    }
    Address address{host.toString(), kDefaultPort};
    if (port) {
        const std::optional<quint16> number = portOf(*port);
        if (!number) {
            return fail(QStringLiteral("\"%1\" is no port: a port is a number from 1 to 65535.")
                            .arg(*port));
        }
        address.port = *number;
    }
    return address;
}

} // namespace garrison
