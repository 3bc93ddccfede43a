#pragma once

#include <QString>

namespace garrison {

// The login fields that one saved connection profile holds. Both connection types' fields are
// kept; the selected type is not.
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
};

// Ten saved profiles, slots 1 to 10, in the sections "[LOGIN1]" to "[LOGIN10]" of the
// settings store. The two passwords go through the SecretStore: load() gives them only where
// the settings file still holds them.
class ConnectionProfiles {
public:
    static constexpr int kSlots = 10;

    // How a profile logs in when chosen from the server list. The connection type is not
    // saved, so the fields tell: a saved RCON password logs in straight to the game server,
    // else a saved daemon address through the daemon; else the RCON password is still to type.
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
