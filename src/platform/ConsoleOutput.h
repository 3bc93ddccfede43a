#pragma once

#include <QString>

namespace garrison {

// Standard output and error of a command-line program: UTF-8 into pipes and files; a console
// window on Windows gets the characters themselves, whatever its code page.
class ConsoleOutput {
public:
    enum class Stream { Output, Error };
    // Written and flushed at once.
    static void write(Stream stream, const QString& text);
    // A window program has no console of its own on Windows: started from one (cmd,
    // PowerShell), its standard output and error go to that one from now on, unless they were
    // already led somewhere (a pipe, a file). Nothing elsewhere.
    static void reachParentConsole();
};

} // namespace garrison
