#include "BanListWindow.h"

#include "bans/BanChoices.h"
#include "bans/BanDialog.h"
#include "bans/BanReasonsDialog.h"
#include "bans/BanSource.h"
#include "control/SettingsCommands.h"
#include "platform/Dialogs.h"
#include "players/GameColours.h"
#include "rcon/CommandSender.h"
#include "ui_BanListWindow.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QSaveFile>
#include <QSet>

namespace garrison {

namespace {
// Expired bans turn so while the window is open.
constexpr int kClockMs = 30 * 1000;
} // namespace

BanListWindow::BanListWindow(CommandSender& sender, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::BanListWindow>()), m_sender(sender),
      m_dialogs(dialogs), m_chooseFile([this](const QString& suggestion) {
          return QFileDialog::getSaveFileName(this, tr("Export"), suggestion,
                                              tr("CSV files (*.csv)"));
      })
{
    m_ui->setupUi(this);
    m_filter.setBanModel(&m_model);
    m_ui->tblBans->setModel(&m_filter);
    m_ui->tblBans->sortByColumn(BanTableModel::When, Qt::DescendingOrder);
    // Widths from the font, not from the contents: measuring 100,000 rows would freeze the
    // window.
    QHeaderView& header = *m_ui->tblBans->horizontalHeader();
    // The reason takes what the window has to spare; the other columns keep their widths.
    header.setSectionResizeMode(BanTableModel::Reason, QHeaderView::Stretch);
    const QFontMetrics metrics = m_ui->tblBans->fontMetrics();
    const int time = metrics.horizontalAdvance(QStringLiteral("2026-12-31 23:59")) + 16;
    const struct {
        BanTableModel::Column column;
        int width;
    } widths[] = {
        {BanTableModel::Name, metrics.averageCharWidth() * 16},
        {BanTableModel::Guid, metrics.horizontalAdvance(QStringLiteral("12345678901234")) + 12},
        {BanTableModel::Address,
         metrics.horizontalAdvance(QStringLiteral("198.51.100.255/24")) + 12},
        {BanTableModel::Reason, metrics.averageCharWidth() * 26},
        {BanTableModel::Until, time},
        {BanTableModel::By, metrics.averageCharWidth() * 8},
        {BanTableModel::When, time},
        {BanTableModel::Servers, metrics.averageCharWidth() * 10},
        {BanTableModel::State, metrics.horizontalAdvance(QStringLiteral("expired")) + 16}};
    for (const auto& entry : widths) {
        header.resizeSection(entry.column, entry.width);
    }
    m_ui->tblBans->verticalHeader()->setDefaultSectionSize(metrics.height() + 6);
    m_ui->tblBans->verticalHeader()->hide();

    using Filter = BanTableModel::Filter;
    m_ui->cboBanState->addItem(tr("Active"), static_cast<int>(Filter::Active));
    m_ui->cboBanState->addItem(tr("All"), static_cast<int>(Filter::All));
    m_ui->cboBanState->addItem(tr("Expired"), static_cast<int>(Filter::Expired));
    m_ui->cboBanState->addItem(tr("Lifted"), static_cast<int>(Filter::Lifted));
    m_ui->cboBanState->addItem(tr("Server's own"), static_cast<int>(Filter::Server));
    m_filter.setFilter(Filter::Active);

    connect(m_ui->txtBanSearch, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_filter.setSearch(text);
        showCount();
    });
    connect(m_ui->cboBanState, &QComboBox::currentIndexChanged, this, [this] {
        m_filter.setFilter(static_cast<Filter>(m_ui->cboBanState->currentData().toInt()));
        showCount();
    });
    connect(m_ui->btnBanRefresh, &QPushButton::clicked, this, &BanListWindow::refresh);
    connect(m_ui->btnServerBans, &QPushButton::clicked, this, &BanListWindow::requestServerBans);
    connect(m_ui->btnBanAdd, &QPushButton::clicked, this, [this] { addBan({}); });
    connect(m_ui->btnBanEdit, &QPushButton::clicked, this, &BanListWindow::edit);
    connect(m_ui->tblBans, &QTableView::doubleClicked, this, &BanListWindow::edit);
    connect(m_ui->btnBanLift, &QPushButton::clicked, this, &BanListWindow::lift);
    connect(m_ui->btnBanUnban, &QPushButton::clicked, this, &BanListWindow::unban);
    connect(m_ui->btnBanExport, &QPushButton::clicked, this, &BanListWindow::exportCsv);
    connect(m_ui->btnBanReasons, &QPushButton::clicked, this, &BanListWindow::editReasons);
    connect(m_ui->btnBanImport, &QPushButton::clicked, this, &BanListWindow::importFiles);
    connect(m_ui->btnBanClose, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ui->tblBans->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &BanListWindow::updateButtons);
    connect(&m_filter, &QAbstractItemModel::modelReset, this, &BanListWindow::updateButtons);
    m_clock.setInterval(kClockMs);
    connect(&m_clock, &QTimer::timeout, this, [this] {
        m_model.setNow(QDateTime::currentDateTimeUtc());
        m_filter.refilter();
        showCount();
    });
    updateButtons();
}

BanListWindow::~BanListWindow() = default;

void BanListWindow::setBanSource(BanSource* source)
{
    if (m_source) {
        disconnect(m_source, nullptr, this, nullptr);
    }
    m_source = source;
    m_model.setBans({});
    m_engineFile.clear();
    m_ui->btnBanImport->setVisible(m_source && m_source->canImport());
    if (!m_source) {
        showProblem(tr("The bans are kept in the player history, which is not open."));
        return;
    }
    // A list read by pages fills the table as the pages come; `listed` then brings nothing new.
    connect(m_source, &BanSource::pageListed, this,
            [this](const QList<BanRecord>& bans, bool first) {
                m_model.setNow(QDateTime::currentDateTimeUtc());
                if (first) {
                    m_model.setBans(bans);
                } else {
                    m_model.appendBans(bans);
                }
                m_filledByPages = true;
                showCount();
            });
    connect(m_source, &BanSource::listed, this, [this](const QList<BanRecord>& bans) {
        if (!std::exchange(m_filledByPages, false)) {
            m_model.setNow(QDateTime::currentDateTimeUtc());
            m_model.setBans(bans);
        }
        showCount();
    });
    connect(m_source, &BanSource::engineListed, this, [this](const QList<BanRecord>& bans) {
        m_engineFile = bans;
        showEngineBans();
        showCount();
    });
    connect(m_source, &BanSource::imported, this, [this](qint64 added, qint64 skipped) {
        showProblem(tr("Imported %1 bans from the server's ban files; %2 skipped (banned already "
                       "or naming no one).")
                        .arg(added)
                        .arg(skipped));
    });
    connect(m_source, &BanSource::added, this, [this](qint64 id) {
        showProblem(tr("Ban %1 added.").arg(id));
        refresh();
    });
    connect(m_source, &BanSource::changed, this, [this] { refresh(); });
    connect(m_source, &BanSource::listChanged, this, [this] {
        if (isVisible()) {
            refresh();
        }
    });
    connect(m_source, &BanSource::failed, this, &BanListWindow::showProblem);
    // Once a session, so that the first dialog offers a daemon's reasons at once.
    m_source->listReasons();
    if (isVisible()) {
        refresh();
    }
}

void BanListWindow::setServer(const QString& thisServer, const QString& actor)
{
    m_thisServer = thisServer;
    m_actor = actor.isEmpty() ? QStringLiteral("rcon") : actor;
}

void BanListWindow::startSession()
{
    m_engineFile.clear();
    m_model.setRows(BanTableModel::Kind::PunkBuster, {});
    m_model.setRows(BanTableModel::Kind::Engine, {});
}

void BanListWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_clock.start();
    refresh();
}

void BanListWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_clock.stop();
}

void BanListWindow::refresh()
{
    showEngineBans();
    if (m_source) {
        m_source->list();
        m_source->listEngine();
    }
}

void BanListWindow::showEngineBans()
{
    // What GARRISON sent (with who and why), then what else the engine's file holds.
    QList<BanTableModel::Row> rows = m_engineBans ? m_engineBans() : QList<BanTableModel::Row>();
    QSet<QString> known;
    for (const BanTableModel::Row& row : std::as_const(rows)) {
        known.insert(row.ban.guid.isEmpty() ? row.unbanKey : row.ban.guid);
    }
    for (const BanRecord& ban : std::as_const(m_engineFile)) {
        const QString name = ban.names.value(0);
        if (known.contains(ban.guid.isEmpty() ? name : ban.guid)) {
            continue;
        }
        BanTableModel::Row row;
        row.ban = ban;
        row.ban.id = 0;
        row.unbanKey = name;
        rows.append(row);
    }
    m_model.setRows(BanTableModel::Kind::Engine, rows);
}

void BanListWindow::requestServerBans()
{
    Q_EMIT serverListRequested();
    m_sender.WaitSend(SettingsCommands::kBanList);
    showProblem(tr("PunkBuster's bans are asked for; they come in a few seconds."));
}

void BanListWindow::takeServerList(const QString& text)
{
    const QList<BanTableModel::Row> rows = BanTableModel::punkBusterRows(text);
    // The bad-name list arrives by the same way: only a ban list replaces the bans shown.
    if (rows.isEmpty() && !text.contains(QLatin1String("Ban List"), Qt::CaseInsensitive)) {
        return;
    }
    m_model.setRows(BanTableModel::Kind::PunkBuster, rows);
    showCount();
}

void BanListWindow::addBan(const BanRecord& preset)
{
    if (!m_source) {
        showProblem(tr("The bans are kept in the player history, which is not open."));
        return;
    }
    BanDialog dialog(BanDialog::Mode::AddAbsent, preset, m_thisServer, this);
    dialog.offerReasonsOf(*m_source);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    std::optional<BanRecord> ban = dialog.ban(QDateTime::currentDateTimeUtc());
    if (ban && m_source) {
        ban->issuedBy = m_actor;
        m_source->add(*ban);
    }
}

int BanListWindow::chosenRow() const
{
    const QModelIndex current = m_ui->tblBans->currentIndex();
    return current.isValid() ? m_filter.mapToSource(current).row() : -1;
}

void BanListWindow::updateButtons()
{
    const int row = chosenRow();
    const bool listed = row >= 0 && m_model.row(row).kind == BanTableModel::Kind::Listed;
    m_ui->btnBanEdit->setEnabled(listed);
    m_ui->btnBanLift->setEnabled(listed && !m_model.row(row).ban.lifted);
    m_ui->btnBanUnban->setEnabled(row >= 0 && !listed);
}

void BanListWindow::edit()
{
    const int row = chosenRow();
    if (row < 0 || m_model.row(row).kind != BanTableModel::Kind::Listed || !m_source) {
        return;
    }
    BanDialog dialog(BanDialog::Mode::Edit, m_model.row(row).ban, m_thisServer, this);
    dialog.offerReasonsOf(*m_source);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const std::optional<BanRecord> ban = dialog.ban(QDateTime::currentDateTimeUtc());
    if (ban && m_source) {
        m_source->edit(*ban);
    }
}

void BanListWindow::importFiles()
{
    if (!m_source ||
        m_dialogs.message(tr("Read the engine's and PunkBuster's ban files in the game server's "
                             "folder into this list? Players banned already are skipped; the "
                             "files stay as they are."),
                          tr("Import ban files"), BoxIcon::Question,
                          BoxButtons::YesNo) != BoxAnswer::Yes) {
        return;
    }
    m_source->importFiles();
}

void BanListWindow::lift()
{
    const int row = chosenRow();
    if (row < 0 || m_model.row(row).kind != BanTableModel::Kind::Listed || !m_source) {
        return;
    }
    const BanRecord ban = m_model.row(row).ban;
    const QString who =
        ban.names.isEmpty() ? ban.guid + ban.address : GameColours::shownText(ban.names.first());
    if (m_dialogs.message(tr("Lift ban %1 of %2?").arg(ban.id).arg(who), tr("Lift ban"),
                          BoxIcon::Question, BoxButtons::YesNo) != BoxAnswer::Yes) {
        return;
    }
    const QString note = m_dialogs.input(tr("Why is the ban lifted? (for the record)"),
                                         tr("Lift ban %1").arg(ban.id));
    if (m_source) {
        m_source->lift(ban.id, note.left(2000));
    }
}

void BanListWindow::unban()
{
    const int row = chosenRow();
    if (row < 0) {
        return;
    }
    const BanTableModel::Row chosen = m_model.row(row);
    std::optional<QString> command;
    if (chosen.kind == BanTableModel::Kind::PunkBuster) {
        command = SettingsCommands::unban(chosen.unbanKey);
    } else if (chosen.kind == BanTableModel::Kind::Engine) {
        if (chosen.unbanKey.isEmpty()) {
            showProblem(tr("The engine unbans by name, and its ban file names no one for this "
                           "ban."));
            return;
        }
        command = QStringLiteral("unbanuser ") + chosen.unbanKey;
    }
    if (!command) {
        return;
    }
    m_sender.Send(*command);
    Q_EMIT serverUnbanSent({chosen.ban.names.value(0), QString(), QString(), chosen.ban.guid,
                            QString(), chosen.ban.address},
                           *command);
    showProblem(tr("Sent /%1; read the server's bans again to see the list now.").arg(*command));
}

void BanListWindow::exportCsv()
{
    QList<int> rows;
    for (int row = 0; row < m_filter.rowCount(); ++row) {
        rows.append(m_filter.mapToSource(m_filter.index(row, 0)).row());
    }
    const QString path = m_chooseFile(QStringLiteral("bans.csv"));
    if (path.isEmpty()) {
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_model.csv(rows).toUtf8()) < 0 ||
        !file.commit()) {
        m_dialogs.message(tr("The file could not be written: ") + file.errorString(),
                          kProgramCaption, BoxIcon::Critical);
    }
}

void BanListWindow::editReasons()
{
    BanReasonsDialog dialog(m_dialogs, this);
    if (m_source) {
        dialog.showReasonsOf(*m_source);
    }
    if (dialog.exec() == QDialog::Accepted && dialog.isEditable()) {
        BanChoices::setReasons(dialog.reasons());
    }
}

void BanListWindow::showCount()
{
    m_ui->lblBanStatus->setText(
        tr("%1 of %2 bans shown").arg(m_filter.rowCount()).arg(m_model.rowCount()));
    updateButtons();
}

void BanListWindow::showProblem(const QString& text)
{
    m_ui->lblBanStatus->setText(text);
}

} // namespace garrison
