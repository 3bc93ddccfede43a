#include "WidgetDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>

namespace garrison {

namespace {

QMessageBox::Icon toQt(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::Information:
        return QMessageBox::Information;
    case BoxIcon::Critical:
        return QMessageBox::Critical;
    case BoxIcon::Question:
        return QMessageBox::Question;
    case BoxIcon::Warning:
        return QMessageBox::Warning;
    case BoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QWidget* parentWindow()
{
    QWidget* window = QApplication::activeWindow();
    return window && window->isVisible() ? window : nullptr;
}

} // namespace

BoxAnswer WidgetDialogs::message(const QString& text, const QString& caption, BoxIcon icon,
                                 BoxButtons buttons)
{
    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    if (buttons == BoxButtons::OkCancel) {
        standard = QMessageBox::Ok | QMessageBox::Cancel;
    } else if (buttons == BoxButtons::YesNo) {
        standard = QMessageBox::Yes | QMessageBox::No;
    }
    // Socket events keep arriving while the box is open; the box may outlive its parent.
    QPointer<QMessageBox> box = new QMessageBox(toQt(icon), caption, text, standard, parentWindow());
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    const int result = box->exec();
    delete box.data();
    switch (result) {
    case QMessageBox::Yes:
        return BoxAnswer::Yes;
    case QMessageBox::No:
        return BoxAnswer::No;
    case QMessageBox::Cancel:
        return BoxAnswer::Cancel;
    default:
        return buttons == BoxButtons::YesNo ? BoxAnswer::No : BoxAnswer::Ok;
    }
}

QString WidgetDialogs::input(const QString& prompt, const QString& title, const QString& preset)
{
    QPointer<QInputDialog> dialog = new QInputDialog(parentWindow());
    dialog->setWindowTitle(title);
    dialog->setLabelText(prompt);
    dialog->setTextValue(preset);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    QString value;
    if (dialog) {
        value = accepted ? dialog->textValue() : QString();
        delete dialog.data();
    }
    return value;
}

QString WidgetDialogs::openFile(const QString& title, const QString& folder, const QString& filter)
{
    return QFileDialog::getOpenFileName(parentWindow(), title, folder, filter);
}

} // namespace garrison
