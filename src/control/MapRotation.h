#pragma once

#include <QString>
#include <optional>

namespace garrison {

// The server's map rotation as the rotation builder writes it: blank-separated pairs
// "gametype <type> map <name>", in the order added, duplicates allowed.
class MapRotation {
public:
    // The rotation with one more pair; nullopt when the map or the game type is empty.
    static std::optional<QString> add(const QString& rotation, const QString& gameType,
                                      const QString& map);
    // The command that sets the rotation, the text taken exactly as it stands (hand edits,
    // quotes and line breaks included); nullopt for an empty rotation.
    static std::optional<QString> command(const QString& rotation);
};

} // namespace garrison
