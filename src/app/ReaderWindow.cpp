#include "ReaderWindow.h"

#include "platform/FixedPitchFont.h"
#include "platform/WindowMemory.h"
#include "ui_ReaderWindow.h"

#include <QHideEvent>
#include <QPushButton>
#include <QShortcut>

namespace {
const QString kGeometryKey = QStringLiteral("ReaderGeometry");
} // namespace

namespace garrison {

ReaderWindow::ReaderWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::ReaderWindow>())
{
    m_ui->setupUi(this);
    // Replies and logs arrive while the user types elsewhere: the reader does not take the keys.
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_ui->Text1->setFont(FixedPitchFont::get());
    m_ui->buttonBox->setContentsMargins(6, 0, 6, 6);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &QWidget::close);
    WindowMemory::restore(*this, kGeometryKey);
}

ReaderWindow::~ReaderWindow() = default;

void ReaderWindow::showText(const QString& text)
{
    m_ui->Text1->setText(text);
    show();
    raise();
}

void ReaderWindow::startSession()
{
    m_ui->Text1->clearText();
    close();
}

void ReaderWindow::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous()) {
        WindowMemory::remember(*this, kGeometryKey);
    }
    QWidget::hideEvent(event);
}

ConsoleBox& ReaderWindow::Text1()
{
    return *m_ui->Text1;
}

} // namespace garrison
