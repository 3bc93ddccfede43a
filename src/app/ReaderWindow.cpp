#include "ReaderWindow.h"

#include "ui_ReaderWindow.h"

#include <QFontDatabase>

namespace garrison {

ReaderWindow::ReaderWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::ReaderWindow>())
{
    m_ui->setupUi(this);
    m_ui->Text1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

ReaderWindow::~ReaderWindow() = default;

void ReaderWindow::showText(const QString& text)
{
    m_ui->Text1->setText(text);
    show();
    raise();
}

ConsoleBox& ReaderWindow::Text1()
{
    return *m_ui->Text1;
}

} // namespace garrison
