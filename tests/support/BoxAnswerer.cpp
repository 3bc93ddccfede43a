#include "BoxAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QPointer>

namespace garrison::test {

BoxAnswerer::BoxAnswerer(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &BoxAnswerer::poll);
    m_timer.start();
}

void BoxAnswerer::pressNext(QMessageBox::StandardButton button)
{
    m_answers.enqueue({Answer::Press, button, {}});
}

void BoxAnswerer::typeNext(const QString& text)
{
    m_answers.enqueue({Answer::Type, QMessageBox::Ok, text});
}

void BoxAnswerer::cancelNext()
{
    m_answers.enqueue({Answer::Cancel, QMessageBox::Cancel, {}});
}

void BoxAnswerer::whileOpen(std::function<void()> action)
{
    m_whileOpen.enqueue(std::move(action));
}

void BoxAnswerer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == m_answering || !modal->isVisible()) {
        return;
    }
    QPointer<QWidget> guard(modal);
    m_answering = modal;
    // A new box may be allocated where the last one was: forget a box once it is done.
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        connect(dialog, &QDialog::finished, this, [this, dialog] {
            if (m_answering == dialog) {
                m_answering = nullptr;
            }
        });
    }
    Box box;
    box.caption = modal->windowTitle();
    const Answer answer = m_answers.isEmpty() ? Answer{Answer::Press, QMessageBox::NoButton, {}}
                                              : m_answers.dequeue();
    if (auto* message = qobject_cast<QMessageBox*>(modal)) {
        box.text = message->text();
        box.icon = message->icon();
        box.buttons = message->standardButtons();
        m_boxes.append(box);
        if (!m_whileOpen.isEmpty()) {
            m_whileOpen.dequeue()();
        }
        if (!guard) {
            return;
        }
        QMessageBox::StandardButton button = answer.button;
        if (button == QMessageBox::NoButton || !(box.buttons & button)) {
            button = (box.buttons & QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok;
        }
        if (QAbstractButton* target = message->button(button)) {
            target->click();
        }
        return;
    }
    if (auto* input = qobject_cast<QInputDialog*>(modal)) {
        box.isInput = true;
        box.text = input->labelText();
        box.preset = input->textValue();
        m_boxes.append(box);
        if (!m_whileOpen.isEmpty()) {
            m_whileOpen.dequeue()();
        }
        if (!guard) {
            return;
        }
        if (answer.kind == Answer::Cancel) {
            input->reject();
            return;
        }
        if (answer.kind == Answer::Type) {
            input->setTextValue(answer.text);
        }
        input->accept();
        return;
    }
    // Any other modal window (a file dialog, say) is left to the test.
    m_answering = nullptr;
}

} // namespace garrison::test
