#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace garrison::test {

// Answers the real message and input boxes that the program opens, and records what each one
// said: a message box gets its default button (Ok, or No for Yes/No, unless setYes says Yes),
// an input box is accepted with its preset, or with what setInput types. Watches
// QApplication::activeModalWidget() while it exists.
class BoxAnswerer : public QObject {
    Q_OBJECT

public:
    struct Box {
        QString caption;
        QString text; // the message, or the input box's prompt
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };

    explicit BoxAnswerer(QObject* parent = nullptr);

    int count() const { return static_cast<int>(m_boxes.size()); }
    Box last() const { return m_boxes.isEmpty() ? Box{} : m_boxes.constLast(); }
    // A message box stays open (the program's events go on) while this says so of its text, as
    // for a user who is still reading it.
    void setHold(std::function<bool(const QString& text)> hold) { m_hold = std::move(hold); }
    // A Yes/No box whose text this says yes to is answered Yes.
    void setYes(std::function<bool(const QString& text)> yes) { m_yes = std::move(yes); }
    // The text typed into an input box with this prompt; a null text keeps the preset.
    void setInput(std::function<QString(const QString& prompt)> input)
    {
        m_input = std::move(input);
    }

private:
    void poll();

    QTimer m_timer;
    QList<Box> m_boxes;
    QWidget* m_answering = nullptr;
    std::function<bool(const QString&)> m_hold;
    std::function<bool(const QString&)> m_yes;
    std::function<QString(const QString&)> m_input;
};

} // namespace garrison::test
