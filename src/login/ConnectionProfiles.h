#pragma once

#include <QString>

namespace garrison {

// The login fields that one saved connection profile holds. Both connection types' fields are
// kept, and the type selected when it was saved, beside them.
struct ProfileFields {
    QString daemonAddress; // Text3
    QString daemonPort;    // Text9
    QString userName;      // Text1
    QString password;      // Text2
    QString serverAddress; // Text4
    QString rconPassword;  // Text6
    QString serverPort;    // Text5
    QString relayPort;     // Text7
    QString level;         // Combo1
    // "Daemon" or "RCON" (key LoginType); empty for a profile saved before the type was kept,
    // and then not written.
    QString loginType;
};

// Ten saved profiles, slots 1 to 10, in the sections "[LOGIN1]" to "[LOGIN10]" of the
// settings store. The two passwords go through the SecretStore: load() gives them only where
// the settings file still holds them.
class ConnectionProfiles {
public:
    static constexpr int kSlots = 10;

    static inline const QString kLoginTypeKey = QStringLiteral("LoginType");
    static inline const QString kDaemonType = QStringLiteral("Daemon");
    static inline const QString kRconType = QStringLiteral("RCON");

    // How a profile logs in when chosen from the server list: as its saved type, a daemon
    // profile through its daemon whatever RCON password it holds. Without a saved type the
    // fields tell: a saved RCON password logs in straight to the game server, else a saved
    // daemon address through the daemon. Else the RCON password is still to type.
    enum class Login { Direct, Daemon, PasswordMissing };
    static Login loginOf(const ProfileFields& fields);

    static QString section(int slot);
    // The caption of load item n: the profile's name, "Load Server n" when it has none.
    static QString caption(int slot);
    static ProfileFields load(int slot);
    // The same from the store of another program, e.g. garrison-rcon reading GARRISON's.
    static ProfileFields load(const QString& application, int slot);
    static void save(int slot, const ProfileFields& fields, const QString& name);
};

} // namespace garrison
