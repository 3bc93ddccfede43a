#pragma once

#include <QString>
#include <optional>

namespace garrisond {

// A kick or ban among the commands that clients echo: the player menu's "kick <name>",
// "clientkick <slot>", "banuser <name>", "banclient <slot>", "tempbanUser <name>",
// "tempbanClient <slot>", and PunkBuster's "pb_sv_kick <slot> <minutes> <reason>",
// "pb_sv_ban <slot> <minutes> <reason>" and "pb_sv_banguid <guid> <name> <ip> <reason>", also
// typed on the terminal page. Command words are taken in any case, as the game's console takes
// them.
struct ModerationCommand {
    QString action; // "kick" or "ban"
    QString whom;   // a name as typed, "slot 3" or "PunkBuster slot 4"
    QString why;    // empty when the command gives no reason
    bool temporary = false;

    static std::optional<ModerationCommand> parse(const QString& command);
};

} // namespace garrisond
