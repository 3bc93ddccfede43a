#pragma once

#include <QString>
#include <QStringView>
#include <array>

namespace garrison {

// One row of the player grid. The player menu reads its cells by column number, so the order
// is fixed.
struct PlayerRow {
    enum Column { Name, Score, Ping, Guid, Slot, Address, ColumnCount };

    std::array<QString, ColumnCount> cells;

    const QString& operator[](int column) const { return cells[static_cast<size_t>(column)]; }
    QString& operator[](int column) { return cells[static_cast<size_t>(column)]; }

    friend bool operator==(const PlayerRow&, const PlayerRow&) = default;
};

inline constexpr std::array<QStringView, PlayerRow::ColumnCount> kPlayerColumnHeaders = {
    u"Name", u"Score", u"Ping", u"Guid", u"Slot", u"IP:Port"};

} // namespace garrison
