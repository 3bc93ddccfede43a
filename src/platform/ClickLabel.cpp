#include "ClickLabel.h"

#include <QMouseEvent>

namespace garrison {

void ClickLabel::mousePressEvent(QMouseEvent* event)
{
    Q_EMIT clicked(event->button(), event->globalPosition().toPoint());
    QLabel::mousePressEvent(event);
}

} // namespace garrison
