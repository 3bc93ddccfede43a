#include "MapCatalog.h"

namespace garrison {

const QList<MapCatalog::Map>& MapCatalog::maps()
{
    // The picture numbers are not in list order: mp_shrine was added after the others.
    static const QList<Map> kMaps = {
        {QStringLiteral("mp_airfield"), QStringLiteral("Image12")},
        {QStringLiteral("mp_asylum"), QStringLiteral("Image13")},
        {QStringLiteral("mp_castle"), QStringLiteral("Image14")},
        {QStringLiteral("mp_courtyard"), QStringLiteral("Image16")},
        {QStringLiteral("mp_dome"), QStringLiteral("Image17")},
        {QStringLiteral("mp_downfall"), QStringLiteral("Image18")},
        {QStringLiteral("mp_hangar"), QStringLiteral("Image19")},
        {QStringLiteral("mp_makin"), QStringLiteral("Image20")},
        {QStringLiteral("mp_outskirts"), QStringLiteral("Image21")},
        {QStringLiteral("mp_roundhouse"), QStringLiteral("Image22")},
        {QStringLiteral("mp_seelow"), QStringLiteral("Image23")},
        {QStringLiteral("mp_shrine"), QStringLiteral("Image15")},
        {QStringLiteral("mp_suburban"), QStringLiteral("Image24")},
    };
    return kMaps;
}

QStringList MapCatalog::mapNames()
{
    QStringList names;
    for (const Map& map : maps()) {
        names.append(map.name);
    }
    return names;
}

QStringList MapCatalog::listEntries()
{
    return mapNames() << kCustomMap;
}

QStringList MapCatalog::pictures()
{
    QStringList names;
    for (const Map& map : maps()) {
        names.append(map.picture);
    }
    return names << kDefaultPicture;
}

QStringList MapCatalog::gameTypes()
{
    return {QStringLiteral("twar"), QStringLiteral("dm"),   QStringLiteral("tdm"),
            QStringLiteral("dom"),  QStringLiteral("koth"), QStringLiteral("sab"),
            QStringLiteral("sd")};
}

MapCatalog::Selection MapCatalog::select(const QString& entry)
{
    if (entry == kCustomMap) {
        return {true, QString()};
    }
    for (const Map& map : maps()) {
        if (map.name == entry) {
            return {false, map.picture};
        }
    }
    return {false, kDefaultPicture};
}

std::optional<QString> MapCatalog::changeMapCommand(const QString& chosen)
{
    if (chosen == kNoMapChosen) {
        return std::nullopt;
    }
    return QStringLiteral("map ") + chosen;
}

} // namespace garrison
