#include "MapsPage.h"

#include "ui_MapsPage.h"

namespace garrison {

MapsPage::MapsPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::MapsPage>()), m_sender(sender), m_dialogs(dialogs)
{
    m_ui->setupUi(this);
}

MapsPage::~MapsPage() = default;

} // namespace garrison
