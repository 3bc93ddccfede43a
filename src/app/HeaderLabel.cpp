#include "HeaderLabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

namespace garrison {

HeaderLabel::HeaderLabel(QWidget* parent) : ClickLabel(parent)
{
    // A server's name is no markup.
    setTextFormat(Qt::PlainText);
}

void HeaderLabel::setPlaceholder(const QString& placeholder)
{
    m_placeholder = placeholder;
    updateGeometry();
    update();
}

QRect HeaderLabel::textArea() const
{
    const int room = margin();
    return contentsRect().adjusted(room, room, -room, -room);
}

QString HeaderLabel::shownText() const
{
    if (text().isEmpty()) {
        return m_placeholder;
    }
    return fontMetrics().elidedText(text(), Qt::ElideRight, textArea().width());
}

QSize HeaderLabel::sizeFor(int textWidth) const
{
    const QMargins margins = contentsMargins();
    const int around = 2 * (frameWidth() + margin());
    return {textWidth + around + margins.left() + margins.right(),
            fontMetrics().height() + around + margins.top() + margins.bottom()};
}

QSize HeaderLabel::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    const QString wanted = text().isEmpty() ? m_placeholder : text();
    return sizeFor(
        std::min(metrics.horizontalAdvance(wanted), metrics.averageCharWidth() * kHintCharacters));
}

QSize HeaderLabel::minimumSizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    const QString wanted = text().isEmpty() ? m_placeholder : text();
    return sizeFor(std::min(metrics.horizontalAdvance(wanted),
                            metrics.averageCharWidth() * kMinimumCharacters));
}

bool HeaderLabel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && !text().isEmpty() && shownText() != text()) {
        // Rich text, so that a long name wraps instead of running off the screen.
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(),
                           QStringLiteral("<p>%1</p><p>%2</p>")
                               .arg(text().toHtmlEscaped(), toolTip().toHtmlEscaped()),
                           this);
        return true;
    }
    return ClickLabel::event(event);
}

void HeaderLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(
        &painter, textArea(), QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
        isEnabled(), shownText(), text().isEmpty() ? QPalette::PlaceholderText : foregroundRole());
}

} // namespace garrison
