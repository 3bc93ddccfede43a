#pragma once

#include <QLabel>

namespace garrison {

// A captioned label that acts as a button, the way the settings pages' controls do: a left
// click or, with the keyboard focus on it, Space or Enter emits clicked(). Being a frame, it
// can carry the border by which an on/off pair shows the server's current setting.
class LabelButton : public QLabel {
    Q_OBJECT

public:
    explicit LabelButton(QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateEmphasis();
    void applyLinkColour();

    bool m_pressed = false;
    bool m_colouring = false;
};

} // namespace garrison
