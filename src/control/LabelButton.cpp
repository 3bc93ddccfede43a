#include "LabelButton.h"

#include "platform/ReadableColours.h"

#include <QApplication>
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
    applyLinkColour();
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

void LabelButton::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !m_colouring) {
        applyLinkColour();
    }
}

// The caption is drawn in the desktop's link colour, made readable on the window around it.
void LabelButton::applyLinkColour()
{
    m_colouring = true;
    const QPalette around = parentWidget() ? parentWidget()->palette() : QApplication::palette();
    QPalette shown = palette();
    shown.setColor(QPalette::Link, ReadableColours::link(around));
    setPalette(shown);
    m_colouring = false;
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
