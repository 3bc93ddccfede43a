#pragma once

#include <QString>
#include <QStringView>
#include <atomic>

namespace garrison {

// The filters that turn the raw relay log (lines separated by CR LF) into the chat box text.
//
// The removal steps behave exactly like the original line-by-line loop, which rewrites the
// whole text once for every removed line: every occurrence of a removed line's text goes, also
// inside other lines, later lines are read from the text as earlier removals left it, and a
// removal that joins a CR to an LF makes a new line break. They get there in about linear
// time for ordinary logs and fall back to that plain rewrite only for the lines whose text
// also occurs somewhere else than as a whole line.
class LogFilter {
public:
    // The whole pipeline: CleanU, CleanU2, RemoveBlanks, then every "ú" becomes " - ".
    // Whether to show the result is for the caller: see worthShowing.
    static QString MasterParse(const QString& raw);
    // The same, abandoned between two rounds of removals once stop is set: the result is
    // then meaningless (a log whose removals reach back takes a round per such line).
    static QString MasterParse(const QString& raw, const std::atomic<bool>* stop);

    // Removes the text of every line without the marker "ú" (either case) from the whole text.
    static QString CleanU(const QString& text);
    // Removes the text of every line that mentions "cvars" (any case) from the whole text.
    static QString CleanU2(const QString& text);
    // Collapses every run of line breaks into one (the text then holds no CR LF CR LF).
    static QString RemoveBlanks(const QString& text);

    // The line tests of CleanU (no marker) and CleanU2 (mentions "cvars"), case-insensitive.
    static bool lacksMarker(QStringView line);
    static bool mentionsCvars(QStringView line);

    // False for a filtered text that must not replace what the chat box shows.
    static bool worthShowing(const QString& filtered);
};

} // namespace garrison
