#pragma once

#include <QLabel>

namespace garrison {

// A label that acts on a click, as the header's links and values do.
class ClickLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

Q_SIGNALS:
    void clicked(Qt::MouseButton button, const QPoint& globalPosition);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

} // namespace garrison
