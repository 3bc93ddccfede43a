#include "AdminPage.h"

#include "ui_AdminPage.h"

namespace garrison {

AdminPage::AdminPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::AdminPage>()), m_sender(sender), m_dialogs(dialogs)
{
    m_ui->setupUi(this);
}

AdminPage::~AdminPage() = default;

} // namespace garrison
