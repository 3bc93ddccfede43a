#pragma once

#include <QString>

namespace garrison {

// The folder of GARRISON's own executable: the relay, its ini file and its log live there.
class AppFolder {
public:
    static QString path();
    static QString filePath(const QString& fileName);
    // Tests point the program at a folder of their own; an empty path restores the default.
    static void setOverride(const QString& folder);
};

} // namespace garrison
