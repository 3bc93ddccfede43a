#include "BoxAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QInputDialog>

namespace garrison::test {

BoxAnswerer::BoxAnswerer(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &BoxAnswerer::poll);
    m_timer.start();
}

void BoxAnswerer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == m_answering || !modal->isVisible()) {
        return;
    }
    if (auto* message = qobject_cast<QMessageBox*>(modal);
        message && m_hold && m_hold(message->text())) {
        return;
    }
    m_answering = modal;
    // A new box may be allocated where the last one was: forget a box once it is done.
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        connect(dialog, &QDialog::finished, this, [this, dialog] {
            if (m_answering == dialog) {
                m_answering = nullptr;
            }
        });
    }
    if (auto* message = qobject_cast<QMessageBox*>(modal)) {
        m_boxes.append({modal->windowTitle(), message->text(), message->icon()});
        const bool yesNo = message->standardButtons() & QMessageBox::No;
        const bool yes = yesNo && m_yes && m_yes(message->text());
        if (QAbstractButton* target = message->button(yes     ? QMessageBox::Yes
                                                      : yesNo ? QMessageBox::No
                                                              : QMessageBox::Ok)) {
            target->click();
        }
    } else if (auto* input = qobject_cast<QInputDialog*>(modal)) {
        m_boxes.append({modal->windowTitle(), input->labelText()});
        if (const QString typed = m_input ? m_input(input->labelText()) : QString();
            !typed.isNull()) {
            input->setTextValue(typed);
        }
        input->accept();
    } else {
        // Any other modal window (a file dialog, say) is left to the test.
        m_answering = nullptr;
    }
}

} // namespace garrison::test
