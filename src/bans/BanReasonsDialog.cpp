#include "BanReasonsDialog.h"

#include "bans/BanChoices.h"
#include "bans/BanSource.h"
#include "platform/Dialogs.h"
#include "ui_BanReasonsDialog.h"

#include <QPushButton>

namespace garrison {

BanReasonsDialog::BanReasonsDialog(Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::BanReasonsDialog>()), m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    connect(m_ui->btnReasonAdd, &QPushButton::clicked, this, &BanReasonsDialog::add);
    connect(m_ui->btnReasonEdit, &QPushButton::clicked, this, &BanReasonsDialog::edit);
    connect(m_ui->lstReasons, &QListWidget::itemActivated, this, &BanReasonsDialog::edit);
    connect(m_ui->btnReasonRemove, &QPushButton::clicked, this, &BanReasonsDialog::remove);
    connect(m_ui->btnReasonUp, &QPushButton::clicked, this, [this] { move(-1); });
    connect(m_ui->btnReasonDown, &QPushButton::clicked, this, [this] { move(1); });
    connect(m_ui->lstReasons, &QListWidget::currentRowChanged, this,
            &BanReasonsDialog::updateButtons);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &BanReasonsDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &BanReasonsDialog::reject);
    showList(BanChoices::reasons(), true);
}

BanReasonsDialog::~BanReasonsDialog() = default;

void BanReasonsDialog::showReasonsOf(BanSource& source)
{
    const auto follow = [this, &source] {
        if (!m_changed) {
            const QStringList set = source.reasons();
            showList(set.isEmpty() ? BanChoices::reasons() : set, set.isEmpty());
        }
    };
    connect(&source, &BanSource::reasonsListed, this, follow);
    follow();
    source.listReasons();
}

QStringList BanReasonsDialog::reasons() const
{
    QStringList list;
    for (int row = 0; row < m_ui->lstReasons->count(); ++row) {
        list.append(m_ui->lstReasons->item(row)->text());
    }
    return list;
}

void BanReasonsDialog::showList(const QStringList& reasons, bool editable)
{
    m_editable = editable;
    m_ui->lstReasons->clear();
    m_ui->lstReasons->addItems(reasons);
    m_ui->lblReasonsNote->setText(
        editable ? tr("These reasons are kept on this computer. \"Ban with reason…\" and the ban "
                      "list's Add and Edit offer them, unless garrisond sets its own. With "
                      "none, the usual ones are offered.")
                 : tr("These reasons are garrisond's: every administrator logged in to it is "
                      "offered them. They are set by the ban_reasons lines of its configuration "
                      "and cannot be changed here."));
    m_ui->buttonBox->setStandardButtons(editable ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                                 : QDialogButtonBox::Close);
    if (QPushButton* ok = m_ui->buttonBox->button(QDialogButtonBox::Ok)) {
        ok->setToolTip(tr("Keep the list; the next ban dialog offers it"));
    }
    if (QPushButton* close = m_ui->buttonBox->button(QDialogButtonBox::Close)) {
        close->setToolTip(tr("Close the list"));
    }
    m_ui->btnReasonAdd->setEnabled(editable);
    updateButtons();
}

void BanReasonsDialog::updateButtons()
{
    const int row = m_ui->lstReasons->currentRow();
    const bool chosen = m_editable && row >= 0;
    m_ui->btnReasonEdit->setEnabled(chosen);
    m_ui->btnReasonRemove->setEnabled(chosen);
    m_ui->btnReasonUp->setEnabled(chosen && row > 0);
    m_ui->btnReasonDown->setEnabled(chosen && row + 1 < m_ui->lstReasons->count());
}

void BanReasonsDialog::add()
{
    if (!m_editable) {
        return;
    }
    const QString reason =
        BanChoices::cleanText(m_dialogs.input(tr("The new reason:"), tr("Add a reason")));
    // The source may have answered while the box was open, and made the list its own.
    if (reason.isEmpty() || !m_editable) {
        return;
    }
    // Offered twice, a reason would only be in the way.
    const QList<QListWidgetItem*> same = m_ui->lstReasons->findItems(reason, Qt::MatchExactly);
    if (same.isEmpty()) {
        const int chosen = m_ui->lstReasons->currentRow();
        const int at = chosen >= 0 ? chosen + 1 : m_ui->lstReasons->count();
        m_ui->lstReasons->insertItem(at, reason);
        m_ui->lstReasons->setCurrentRow(at);
        m_changed = true;
    } else {
        m_ui->lstReasons->setCurrentItem(same.constFirst());
    }
    updateButtons();
}

void BanReasonsDialog::edit()
{
    const int row = m_ui->lstReasons->currentRow();
    if (!m_editable || row < 0) {
        return;
    }
    const QString before = m_ui->lstReasons->item(row)->text();
    const QString reason =
        BanChoices::cleanText(m_dialogs.input(tr("The reason:"), tr("Change a reason"), before));
    // The list may have been filled anew while the box was open.
    if (reason.isEmpty() || !m_editable || row >= m_ui->lstReasons->count() ||
        m_ui->lstReasons->item(row)->text() != before) {
        return;
    }
    m_ui->lstReasons->item(row)->setText(reason);
    m_changed = true;
}

void BanReasonsDialog::remove()
{
    const int row = m_ui->lstReasons->currentRow();
    if (!m_editable || row < 0) {
        return;
    }
    delete m_ui->lstReasons->takeItem(row);
    m_changed = true;
    updateButtons();
}

void BanReasonsDialog::move(int by)
{
    const int row = m_ui->lstReasons->currentRow();
    const int to = row + by;
    if (!m_editable || row < 0 || to < 0 || to >= m_ui->lstReasons->count()) {
        return;
    }
    m_ui->lstReasons->insertItem(to, m_ui->lstReasons->takeItem(row));
    m_ui->lstReasons->setCurrentRow(to);
    m_changed = true;
}

} // namespace garrison
