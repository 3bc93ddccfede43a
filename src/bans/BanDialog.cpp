#include "BanDialog.h"

#include "bans/BanChoices.h"
#include "bans/BanSource.h"
#include "ui_BanDialog.h"

#include <QPushButton>

namespace garrison {

namespace {
constexpr int kCustom = -1;
constexpr int kAllServers = 1;
} // namespace

BanDialog::BanDialog(Mode mode, const BanRecord& preset, const QString& thisServer, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::BanDialog>()), m_mode(mode), m_preset(preset),
      m_thisServer(thisServer)
{
    m_ui->setupUi(this);
    setWindowTitle(mode == Mode::Edit        ? tr("Edit ban %1").arg(preset.id)
                   : mode == Mode::BanPlayer ? tr("Ban with reason")
                                             : tr("Add a ban"));
    m_ui->txtName->setText(preset.names.value(0));
    m_ui->txtGuid->setText(preset.guid);
    m_ui->txtAddress->setText(preset.prefixLength >= 0 ? preset.address + QLatin1Char('/') +
                                                             QString::number(preset.prefixLength)
                                                       : preset.address);
    const bool identityFixed = mode != Mode::AddAbsent;
    for (QLineEdit* field : {m_ui->txtName, m_ui->txtGuid, m_ui->txtAddress}) {
        field->setReadOnly(identityFixed);
    }
    showReasons(BanChoices::reasons());
    const QList<BanChoices::Duration>& durations = BanChoices::durations();
    for (qsizetype index = 0; index < durations.size(); ++index) {
        m_ui->cboDuration->addItem(durations.at(index).label, static_cast<int>(index));
    }
    m_ui->cboDuration->addItem(tr("Custom"), kCustom);
    m_ui->dteUntil->setDateTime(QDateTime::currentDateTime().addDays(1));
    if (mode == Mode::Edit) {
        if (preset.until) {
            m_ui->cboDuration->setCurrentIndex(m_ui->cboDuration->findData(kCustom));
            m_ui->dteUntil->setDateTime(preset.until->toLocalTime());
        }
    }
    m_ui->cboScope->addItem(thisServer.isEmpty() ? tr("This server")
                                                 : tr("This server (%1)").arg(thisServer));
    m_ui->cboScope->addItem(tr("All servers"));
    m_ui->cboScope->setCurrentIndex(mode == Mode::Edit && !preset.servers.isEmpty() ? 0
                                                                                    : kAllServers);
    m_ui->txtNote->setText(preset.note);
    connect(m_ui->cboDuration, &QComboBox::currentIndexChanged, this, &BanDialog::showDuration);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &BanDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &BanDialog::reject);
    showDuration();
    if (identityFixed) {
        m_ui->cboReason->setFocus();
    }
}

BanDialog::~BanDialog() = default;

void BanDialog::offerReasonsOf(BanSource& source)
{
    connect(&source, &BanSource::reasonsListed, this,
            [this, &source] { showReasons(BanChoices::offeredReasons(&source)); });
    showReasons(BanChoices::offeredReasons(&source));
    source.listReasons();
}

void BanDialog::showReasons(const QStringList& reasons)
{
    const QString current = m_ui->cboReason->currentText();
    const bool changedByHand = !m_shownReason.isNull() && current != m_shownReason;
    m_ui->cboReason->clear();
    m_ui->cboReason->addItems(reasons);
    m_ui->cboReason->setCurrentText(changedByHand               ? current
                                    : m_preset.reason.isEmpty() ? m_ui->cboReason->itemText(0)
                                                                : m_preset.reason);
    m_shownReason = m_ui->cboReason->currentText();
}

void BanDialog::showDuration()
{
    m_ui->dteUntil->setEnabled(m_ui->cboDuration->currentData().toInt() == kCustom);
}

std::optional<BanRecord> BanDialog::ban(const QDateTime& now) const
{
    BanRecord ban = m_preset;
    m_problem.clear();
    if (m_mode == Mode::AddAbsent) {
        ban.names.clear();
        const QString name = BanChoices::cleanText(m_ui->txtName->text());
        if (!name.isEmpty()) {
            ban.names.append(name);
        }
        ban.guid.clear();
        const QString guidText = m_ui->txtGuid->text().trimmed();
        if (!guidText.isEmpty()) {
            const std::optional<QString> guid = BanRecord::normalisedGuid(guidText);
            if (!guid) {
                m_problem = tr("\"%1\" is not a guid: digits, or 32 hexadecimal characters.")
                                .arg(guidText.left(40));
                return std::nullopt;
            }
            ban.guid = *guid;
        }
        ban.address.clear();
        ban.prefixLength = -1;
        const QString addressText = m_ui->txtAddress->text().trimmed();
        if (!addressText.isEmpty() &&
            !BanRecord::parseAddress(addressText, &ban.address, &ban.prefixLength, &m_problem)) {
            return std::nullopt;
        }
        if (ban.guid.isEmpty() && ban.address.isEmpty()) {
            m_problem = tr("A ban needs a guid or an address.");
            return std::nullopt;
        }
    }
    ban.reason = BanChoices::cleanText(m_ui->cboReason->currentText());
    ban.note = BanChoices::cleanText(m_ui->txtNote->text());
    const int duration = m_ui->cboDuration->currentData().toInt();
    if (duration == kCustom) {
        const QDateTime until = m_ui->dteUntil->dateTime();
        if (until <= now) {
            m_problem = tr("A custom ban must end in the future.");
            return std::nullopt;
        }
        ban.until = until.toUTC();
    } else if (const auto length = BanChoices::durations().value(duration).length) {
        ban.until = now.toUTC().addSecs(length->count());
    } else {
        ban.until.reset();
    }
    if (m_ui->cboScope->currentIndex() == kAllServers || m_thisServer.isEmpty()) {
        ban.servers.clear();
    } else if (m_mode != Mode::Edit || m_preset.servers.isEmpty()) {
        ban.servers = QStringList{m_thisServer};
    }
    if (m_mode != Mode::Edit) {
        ban.issuedAt = now.toUTC();
    }
    return ban;
}

void BanDialog::accept()
{
    if (!ban(QDateTime::currentDateTimeUtc())) {
        m_ui->lblProblem->setText(m_problem);
        return;
    }
    QDialog::accept();
}

} // namespace garrison
