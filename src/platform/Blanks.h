#pragma once

#include <QString>

namespace garrison {

// Removes blanks (the space character, nothing else) at the ends of a text, as the
// program's inputs and grid cells are trimmed: a tab or a line break stays.
class Blanks {
public:
    static QString trim(const QString& text);
    static QString trimLeading(const QString& text);
};

} // namespace garrison
