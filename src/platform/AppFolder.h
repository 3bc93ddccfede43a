#pragma once

#include <QString>

namespace garrison {

// The folder that holds the relay, its ini file and its log: GARRISON's own folder, as when it
// runs from a build or an unpacked copy. An installed program's folder (/usr/bin, or on
// Windows the setup's folder or one the user may not write to, such as Program Files) is not
// the user's, so there it is a folder of the user's, "GARRISON/<program>" under the data
// location (~/.local/share, %LOCALAPPDATA%), created on first use. GARRISON_RELAY_DIR
// overrides both.
class AppFolder {
public:
    static inline const char* const kEnvironmentVariable = "GARRISON_RELAY_DIR";

    static QString path();
    static QString filePath(const QString& fileName);
    // Tests point the program at a folder of their own; an empty path restores the default.
    static void setOverride(const QString& folder);
};

} // namespace garrison
