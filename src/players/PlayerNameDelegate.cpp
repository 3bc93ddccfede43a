#include "PlayerNameDelegate.h"

#include "players/GameColours.h"
#include "players/PlayerSortModel.h"
#include "rcon/PlayerGridModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>

namespace garrison {

namespace {

QColor mix(const QColor& from, const QColor& to, double amount)
{
    return QColor::fromRgbF(
        static_cast<float>(from.redF() + (to.redF() - from.redF()) * amount),
        static_cast<float>(from.greenF() + (to.greenF() - from.greenF()) * amount),
        static_cast<float>(from.blueF() + (to.blueF() - from.blueF()) * amount));
}

} // namespace

QColor PlayerNameDelegate::background(const QStyleOptionViewItem& option)
{
    const QColor cell = QColor::fromRgb(option.features.testFlag(QStyleOptionViewItem::Alternate)
                                            ? GameColours::kAlternateNameCell
                                            : GameColours::kNameCell);
    if (!option.state.testFlag(QStyle::State_Selected)) {
        return cell;
    }
    return mix(cell, option.palette.color(QPalette::Active, QPalette::Highlight), 0.45);
}

void PlayerNameDelegate::showStale(QAbstractItemView& view, bool stale, const QString& toolTip)
{
    if (stale == view.property("stale").toBool()) {
        return;
    }
    view.setProperty("stale", stale);
    const QPalette inherited = view.parentWidget() ? view.parentWidget()->palette() : QPalette();
    QPalette greyed = inherited;
    if (stale) {
        greyed.setColor(QPalette::Text, inherited.color(QPalette::Disabled, QPalette::Text));
    }
    view.setPalette(greyed);
    view.setToolTip(stale ? toolTip : QString());
}

void PlayerNameDelegate::initStyleOption(QStyleOptionViewItem* option,
                                         const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = GameColours::shownText(option->text);
}

void PlayerNameDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const QStyle* style = item.widget ? item.widget->style() : QApplication::style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget)
                               .adjusted(2, 0, -2, 0);
    const QColor cell = background(item);
    const unsigned int cellRgb = cell.rgb() & 0xFFFFFF;

    painter->save();
    painter->fillRect(option.rect, cell);
    painter->setFont(item.font);
    const QFontMetrics metrics(item.font);
    int x = textRect.left();
    // A player who joined lately: a green bar before his name.
    if (index.data(PlayerSortModel::kJoinedRole).toBool()) {
        constexpr int kBar = 4;
        painter->fillRect(QRect(option.rect.left(), option.rect.top(), kBar, option.rect.height()),
                          QColor(0x40, 0xd0, 0x60));
        x += kBar;
    }
    // The last players of a server that stopped answering: grey, as the other cells.
    const bool stale = index.data(PlayerGridModel::kStaleRole).toBool();
    for (const GameColours::Run& run : GameColours::runs(index.data(Qt::DisplayRole).toString())) {
        const int room = textRect.right() + 1 - x;
        if (room <= 0) {
            break;
        }
        QString piece = run.text;
        int width = metrics.horizontalAdvance(piece);
        if (width > room) {
            piece = metrics.elidedText(piece, Qt::ElideRight, room);
            width = room;
        }
        painter->setPen(stale ? QColor(0x8a, 0x8a, 0x8a)
                              : QColor::fromRgb(GameColours::shownOn(run.code, cellRgb)));
        painter->drawText(QRect(x, textRect.top(), width, textRect.height()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, piece);
        x += width;
    }
    painter->restore();
}

} // namespace garrison
