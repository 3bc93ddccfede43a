#pragma once

#include <QString>

namespace garrison::cli {

// What garrison-rcon prints of a server's text. A terminal acts on control characters
// (escape sequences set its title, clear it, write the clipboard or hide text), so none
// reaches it: each is shown as JSON writes it ("\r", "\u001b"), in every output format.
namespace TerminalText {

// A reply: line feeds and tabs stay, every other control character is shown.
QString reply(const QString& text);
// One field of a line (a name, a host name): every control character is shown.
QString field(const QString& text);
// JSON text as Qt writes it, with DEL and the C1 controls (which it leaves as they are)
// escaped too. They can only stand inside strings there, so the document means the same.
QString json(const QString& document);

} // namespace TerminalText

} // namespace garrison::cli
