#pragma once

#include <QString>
#include <optional>

namespace garrison {

// Replies in which the server refuses a command: an unknown command, a value out of range, a
// wrong password, a missing player or map, PunkBuster's "Invalid" answers. The console shows
// them like any reply; the window also puts them where the user sees them without looking for
// them.
namespace ServerRefusals {

// The first refusing line of the reply, without colour codes and surrounding blanks.
std::optional<QString> find(const QString& replyText);

} // namespace ServerRefusals

} // namespace garrison
