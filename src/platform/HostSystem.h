#pragma once

#include <QString>

namespace garrison {

// What the system tells about how it starts programs.
class HostSystem {
public:
    // Windows hands a program one command line, which the program splits itself; elsewhere a
    // program gets a list of arguments.
    static bool passesOneCommandLine();
    // Whether programs are known by a suffix (".exe") that a file dialog can filter by.
    static bool programsCarrySuffix();
};

} // namespace garrison
