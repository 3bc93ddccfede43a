#include "MapRotation.h"

namespace garrison {

std::optional<QString> MapRotation::add(const QString& rotation, const QString& gameType,
                                        const QString& map)
{
    if (map.isEmpty() || gameType.isEmpty()) {
        return std::nullopt;
    }
    const QString pair = QStringLiteral("gametype ") + gameType + QStringLiteral(" map ") + map;
    if (rotation.isEmpty()) {
        return pair;
    }
    return rotation + QLatin1Char(' ') + pair;
}

std::optional<QString> MapRotation::command(const QString& rotation)
{
    if (rotation.isEmpty()) {
        return std::nullopt;
    }
    return QStringLiteral("set sv_mapRotation \"") + rotation + QLatin1Char('"');
}

} // namespace garrison
