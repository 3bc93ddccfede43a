#include "TerminalPage.h"

#include "platform/ConsoleBox.h"
#include "rcon/CommandSender.h"
#include "ui_TerminalPage.h"

#include <QFontDatabase>

namespace garrison {

TerminalPage::TerminalPage(CommandSender& sender, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::TerminalPage>()), m_sender(sender)
{
    m_ui->setupUi(this);
    m_ui->txtOutput->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_ui->txtOutput->setLimit(ConsoleBox::kConsoleLimit);
    QPalette palette = m_ui->txtOutput->palette();
    palette.setColor(QPalette::Base, QColor(0xE0, 0xE0, 0xE0));
    m_ui->txtOutput->setPalette(palette);
    connect(m_ui->Text7, &QLineEdit::returnPressed, this, &TerminalPage::sendCommandLine);
}

TerminalPage::~TerminalPage() = default;

ConsoleBox& TerminalPage::console()
{
    return *m_ui->txtOutput;
}

void TerminalPage::setCommandLineAllowed(bool allowed)
{
    if (allowed) {
        m_ui->Text7->setEnabled(true);
        return;
    }
    m_ui->Text7->setText(
        QStringLiteral("Sorry but you dont have access to full console command..."));
    m_ui->Text7->setEnabled(false);
}

void TerminalPage::sendCommandLine()
{
    // Sent as typed and kept, so that Enter again sends it again.
    m_sender.Send(m_ui->Text7->text());
}

} // namespace garrison
