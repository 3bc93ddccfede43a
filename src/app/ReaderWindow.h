#pragma once

#include "platform/TextViewer.h"

#include <QWidget>
#include <memory>

namespace Ui {
class ReaderWindow;
}

namespace garrison {

class ConsoleBox;

// The reader window "log": one fixed-pitch text box with scroll bars, not modal. Escape or
// Close closes it; its size and place are kept for the next run.
class ReaderWindow : public QWidget, public TextViewer {
    Q_OBJECT

public:
    explicit ReaderWindow(QWidget* parent = nullptr);
    ~ReaderWindow() override;

    void showText(const QString& text) override;
    ConsoleBox& Text1();
    // A new session: the previous server's report or information goes, and the window with it.
    void startSession();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    const std::unique_ptr<Ui::ReaderWindow> m_ui;
};

} // namespace garrison
