#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QTimer>

namespace garrison::test {

// Answers the real message and input boxes that the program opens, in order, and records
// what each one said. Watches QApplication::activeModalWidget() while it exists.
class BoxAnswerer : public QObject {
    Q_OBJECT

public:
    struct Box {
        bool isInput = false;
        QString caption;
        QString text;   // the message, or the input box's prompt
        QString preset; // the input box's preset text
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
    };

    explicit BoxAnswerer(QObject* parent = nullptr);

    // Queued answers, used in order; without one a message box gets its default button
    // (Ok, or No for Yes/No) and an input box is accepted with its preset.
    void pressNext(QMessageBox::StandardButton button);
    void typeNext(const QString& text);
    void cancelNext();
    // Runs while the next box is open, before it is answered: to test re-entry.
    void whileOpen(std::function<void()> action);

    const QList<Box>& boxes() const { return m_boxes; }
    int count() const { return static_cast<int>(m_boxes.size()); }
    Box last() const { return m_boxes.isEmpty() ? Box{} : m_boxes.constLast(); }
    void clear() { m_boxes.clear(); }

private:
    struct Answer {
        enum Kind { Press, Type, Cancel } kind;
        QMessageBox::StandardButton button = QMessageBox::Ok;
        QString text;
    };
    void poll();

    QTimer m_timer;
    QQueue<Answer> m_answers;
    QQueue<std::function<void()>> m_whileOpen;
    QList<Box> m_boxes;
    QWidget* m_answering = nullptr;
};

} // namespace garrison::test
