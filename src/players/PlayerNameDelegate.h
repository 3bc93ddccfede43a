#pragma once

#include <QStyledItemDelegate>

class QAbstractItemView;

namespace garrison {

// Draws player names in their game colours on a dark cell, as the game shows them; the cell's
// text keeps the codes. Colours too dark for the cell are lightened just enough to be read.
class PlayerNameDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The cell behind a name: dark in light and dark palettes alike, tinted when selected.
    static QColor background(const QStyleOptionViewItem& option);
    // Greys a view's other cells while its rows are stale (PlayerGridModel::kStaleRole); the
    // names grey themselves.
    static void showStale(QAbstractItemView& view, bool stale, const QString& toolTip);

protected:
    // Sizes are those of the name as shown, without codes.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

} // namespace garrison
