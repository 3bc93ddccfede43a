#pragma once

#include "serverlist/ServerListModel.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace garrison {

// Where the server list's servers come from: the saved profiles that name a game server, then
// the addresses the user added, which the settings store keeps in "[ServerList]" under
// "Addresses" as "host:port" texts separated by blanks.
class SavedServers {
public:
    static inline const QString kSection = QStringLiteral("[ServerList]");
    static inline const QString kAddressesKey = QStringLiteral("Addresses");
    // The game's own port, for an address typed without one.
    static constexpr quint16 kDefaultPort = 28960;

    struct Address {
        QString host;
        quint16 port = 0;
    };

    // The profiles in slot order, named as the "Load Server" menu names them, then the added
    // addresses. A profile without a server address is not a server; one whose port is no
    // port is left out and named in skipped, for the user to mend.
    static QList<ServerListEntry> load(QStringList* skipped = nullptr);
    static QList<Address> addedAddresses();
    static void saveAddedAddresses(const QList<Address>& addresses);

    // "host", "host:port", "[IPv6]:port" or a bare IPv6 address; nothing, and the reason in
    // error, for anything else.
    static std::optional<Address> parseAddress(QStringView text, QString* error = nullptr);
};

} // namespace garrison
