#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace garrison {

// The maps the Maps page and the rotation builder offer, with the preview picture of each,
// and the decisions of the map list: which picture a selection shows and what "Change map to
// select" sends.
class MapCatalog {
public:
    struct Map {
        QString name;    // the game's own map name
        QString picture; // objectName of its preview label
    };

    // What a click on an entry of the map list does to the preview.
    struct Selection {
        bool asksForName = false; // "Custom Map": the name is typed into an input box
        QString picture;          // the one picture to show; empty keeps the current one
    };

    static inline const QString kCustomMap = QStringLiteral("Custom Map");
    static inline const QString kDefaultPicture = QStringLiteral("Image27");
    // Label13's caption until a map is chosen.
    static inline const QString kNoMapChosen = QStringLiteral("Select a map");

    // The 13 maps in list order.
    static const QList<Map>& maps();
    static QStringList mapNames();
    // The map list: the 13 maps, then "Custom Map".
    static QStringList listEntries();
    // Every preview picture, the default one last.
    static QStringList pictures();
    // The rotation's game types, the game's own identifiers.
    static QStringList gameTypes();

    static Selection select(const QString& entry);
    // nullopt while no map has been chosen. Custom names go out as typed, even empty.
    static std::optional<QString> changeMapCommand(const QString& chosen);
};

} // namespace garrison
