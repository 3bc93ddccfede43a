#include "PlayersPage.h"

#include "ui_PlayersPage.h"

#include <QHeaderView>

namespace garrison {

PlayersPage::PlayersPage(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::PlayersPage>())
{
    m_ui->setupUi(this);
    m_ui->Grid->verticalHeader()->hide();
    m_ui->Grid->verticalHeader()->setDefaultSectionSize(m_ui->Grid->fontMetrics().height() + 6);
    m_ui->Grid->setAlternatingRowColors(true);
}

PlayersPage::~PlayersPage() = default;

QTableView& PlayersPage::grid()
{
    return *m_ui->Grid;
}

} // namespace garrison
