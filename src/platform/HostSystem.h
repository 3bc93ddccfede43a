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
    // Whether this is a Windows program running under Wine.
    static bool runsUnderWine();
    // Before the application object: under Wine, Qt's GDI font engine leaves the text of line
    // edits and spin boxes undrawn, so Qt's own FreeType engine draws text there instead
    // (unless QT_QPA_PLATFORM or -platform chooses otherwise).
    static void prepareDisplay();
};

} // namespace garrison
