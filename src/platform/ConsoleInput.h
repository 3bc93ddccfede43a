#pragma once

#include <QString>
#include <optional>

namespace garrison {

// Standard input of a command-line program: typed at a terminal (a console window on Windows),
// or a pipe or file, whose text is UTF-8.
class ConsoleInput {
public:
    static bool isTerminal();
    // One line without its line end; nothing at the end of the input.
    static std::optional<QString> readLine();
    // One line typed at the terminal while it does not show what is typed, for a password;
    // nothing when standard input is no terminal or ends.
    static std::optional<QString> readHiddenLine();
};

} // namespace garrison
