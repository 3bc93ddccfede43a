#include "PlayersPage.h"

#include "ui_PlayersPage.h"

namespace garrison {

PlayersPage::PlayersPage(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::PlayersPage>())
{
    m_ui->setupUi(this);
}

PlayersPage::~PlayersPage() = default;

QTableView& PlayersPage::grid()
{
    return *m_ui->Grid;
}

} // namespace garrison
