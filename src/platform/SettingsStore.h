#pragma once

#include <QString>

namespace garrison {

// Per-user string settings addressed by application, section and key. Section names keep
// their brackets ("[LOGIN1]", "[Configs]"). Nothing is ever deleted or enumerated.
class SettingsStore {
public:
    // The base name of the running executable, read at each call, so that a renamed copy of
    // the program has a store of its own.
    static QString applicationName();

    static QString read(const QString& application, const QString& section, const QString& key,
                        const QString& defaultValue);
    static void write(const QString& application, const QString& section, const QString& key,
                      const QString& value);

    // The same, for the running executable.
    static QString read(const QString& section, const QString& key,
                        const QString& defaultValue = QString());
    static void write(const QString& section, const QString& key, const QString& value);

    // Where the store of an application lives (a file on Linux, a registry path on Windows).
    static QString location(const QString& application);
    // "GARRISON": the settings' root, and the folder of GARRISON's data and the prefix of its
    // stored passwords. GARRISON_STORE_SCOPE=NAME makes it "GARRISON-NAME", a store of its own:
    // on Windows the registry, the Credential Manager and %LOCALAPPDATA% are one per user, with
    // no variable like XDG_CONFIG_HOME to move them, and tests that run side by side need one
    // each.
    static QString organization();
};

} // namespace garrison
