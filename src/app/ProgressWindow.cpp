#include "ProgressWindow.h"

#include "ui_ProgressWindow.h"

#include <QCloseEvent>

namespace garrison {

namespace {
const QString kFirstStep = QStringLiteral("wait...");
}

ProgressWindow::ProgressWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::ProgressWindow>())
{
    m_ui->setupUi(this);
}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::setStep(const QString& caption)
{
    m_ui->Label3->setText(caption);
    if (isVisible()) {
        m_ui->Label3->repaint();
    }
}

QString ProgressWindow::step() const
{
    return m_ui->Label3->text();
}

void ProgressWindow::closeEvent(QCloseEvent* event)
{
    // The next setup starts from the window's first text.
    m_ui->Label3->setText(kFirstStep);
    event->accept();
}

} // namespace garrison
