#include "LabelButton.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace garrison {

LabelButton::LabelButton(QWidget* parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setForegroundRole(QPalette::Link);
    setTextFormat(Qt::PlainText);
    setMargin(2);
}

void LabelButton::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void LabelButton::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click) {
        Q_EMIT clicked();
    }
}

void LabelButton::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT clicked();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void LabelButton::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    updateEmphasis();
}

void LabelButton::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    updateEmphasis();
}

void LabelButton::focusInEvent(QFocusEvent* event)
{
    QLabel::focusInEvent(event);
    updateEmphasis();
}

void LabelButton::focusOutEvent(QFocusEvent* event)
{
    QLabel::focusOutEvent(event);
    updateEmphasis();
}

// Underlined while pointed at or focused, so that keyboard users see where they are; the frame
// is left alone because it belongs to the on/off indicators.
void LabelButton::updateEmphasis()
{
    QFont shown = font();
    shown.setUnderline(underMouse() || hasFocus());
    setFont(shown);
}

} // namespace garrison
