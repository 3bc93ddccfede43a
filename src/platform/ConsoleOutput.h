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
};

} // namespace garrison
