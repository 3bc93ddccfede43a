#pragma once

#include "platform/ClickLabel.h"

namespace garrison {

// A value in the main window's header (server name, map) that never widens the window: a text
// longer than the room is cut with an ellipsis and shown whole in the tool tip, above the
// label's own hint. An empty value shows a grey placeholder, so that there is still something
// to click. text() stays the value itself.
class HeaderLabel : public ClickLabel {
    Q_OBJECT

public:
    // What the header asks for at most and at least, in average characters.
    static constexpr int kHintCharacters = 40;
    static constexpr int kMinimumCharacters = 10;

    explicit HeaderLabel(QWidget* parent = nullptr);

    void setPlaceholder(const QString& placeholder);
    // The text as painted: the value, cut to the room, or the placeholder.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textArea() const;
    QSize sizeFor(int textWidth) const;

    QString m_placeholder;
};

} // namespace garrison
