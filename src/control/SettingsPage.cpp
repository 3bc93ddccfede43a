#include "SettingsPage.h"

#include "ui_SettingsPage.h"

namespace garrison {

SettingsPage::SettingsPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::SettingsPage>()), m_sender(sender),
      m_dialogs(dialogs)
{
    m_ui->setupUi(this);
}

SettingsPage::~SettingsPage() = default;

} // namespace garrison
