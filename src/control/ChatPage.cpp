#include "ChatPage.h"

#include "ui_ChatPage.h"

namespace garrison {

ChatPage::ChatPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::ChatPage>()), m_sender(sender), m_dialogs(dialogs)
{
    m_ui->setupUi(this);
}

ChatPage::~ChatPage() = default;

} // namespace garrison
