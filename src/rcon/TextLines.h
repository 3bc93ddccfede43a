#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace garrison {

// The program's multi-line texts separate their lines by CR LF; a lone CR or LF belongs to the
// line it stands in. A text with k line breaks has k + 1 lines, so an empty text has one line
// and a text that ends with CR LF has an empty last line.

// Removes the colour codes "^0" to "^7", each everywhere and in that order (so "^^70" leaves
// "^0"); no other caret sequence is touched.
QString StripColourCodes(QString text);

// Line lineNumber (1-based) without its line break; empty when the number is below 1 or above
// the line count. Walks the text up to that line: callers that visit every line use splitLines.
QString GetTextboxLine(const QString& text, int lineNumber);

int GetLineCount(const QString& text);

// Every line of the text, in order; always GetLineCount(text) entries. The views point into
// text, which must outlive them.
QList<QStringView> lineViews(const QString& text);
QStringList splitLines(const QString& text);

// The result of replacing CR LF CR LF by CR LF over and over until the text stops shrinking:
// every run of line breaks becomes one. Lines that hold only blanks are not blank and stay.
QString collapseBlankLines(const QString& text);

} // namespace garrison
