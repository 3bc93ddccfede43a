#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace garrison {

// The Maps page's preview pictures, drawn by the program itself: a landscape whose colours
// and shapes follow from the map's name, so each map keeps its own look, with the name
// written across the bottom. Painted at the screen's pixel ratio so it stays sharp when scaled.
class MapPreview {
public:
    static constexpr QSize kSize{170, 110};

    static QPixmap paint(const QString& mapName, qreal devicePixelRatio);
    // Shown while no known map is selected.
    static QPixmap paintDefault(qreal devicePixelRatio);
};

} // namespace garrison
