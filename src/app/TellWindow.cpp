#include "TellWindow.h"

#include "platform/Blanks.h"
#include "rcon/CommandSender.h"
#include "ui_TellWindow.h"

#include <QCloseEvent>
#include <QStyle>

namespace garrison {

TellWindow::TellWindow(CommandSender& sender, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::TellWindow>()), m_sender(sender)
{
    m_ui->setupUi(this);
    m_ui->Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    connect(m_ui->Command1, &QPushButton::clicked, this, &TellWindow::sendAndClose);
    connect(m_ui->Text1, &QLineEdit::returnPressed, this, &TellWindow::sendAndClose);
    connect(m_ui->Command2, &QPushButton::clicked, this, &QWidget::close);
}

TellWindow::~TellWindow() = default;

void TellWindow::open(const QString& description, const QString& slot)
{
    m_ui->lbldesc->setText(description);
    m_ui->lblusage->setText(slot);
    show();
    raise();
    activateWindow();
    m_ui->Text1->setFocus();
}

void TellWindow::sendAndClose()
{
    m_ui->lblusage->setText(Blanks::trim(m_ui->lblusage->text()));
    // The window closes whatever happens to the command: a failed send is not its concern.
    try {
        m_sender.Send(QStringLiteral("tell ") + m_ui->lblusage->text() + QLatin1Char(' ') +
                      m_ui->Text1->text());
        Q_EMIT messageSent(m_ui->lblusage->text(), m_ui->Text1->text());
    } catch (...) {
    }
    close();
}

void TellWindow::closeEvent(QCloseEvent* event)
{
    m_ui->lbldesc->clear();
    m_ui->lblusage->clear();
    m_ui->Text1->clear();
    event->accept();
}

} // namespace garrison
