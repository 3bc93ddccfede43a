#include "PlayersPage.h"

#include "platform/SettingsStore.h"
#include "platform/WindowMemory.h"
#include "players/GameColours.h"
#include "players/PlayerNameDelegate.h"
#include "players/PlayerSortModel.h"
#include "rcon/PlayerGridModel.h"
#include "rcon/PlayerRow.h"
#include "ui_PlayersPage.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <utility>

namespace garrison {

namespace {
const QString& kSection = WindowMemory::kSection;
const QString kAutoRefreshKey = QStringLiteral("AutoRefresh");
const QString kRefreshSecondsKey = QStringLiteral("AutoRefreshSeconds");
} // namespace

PlayersPage::PlayersPage(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::PlayersPage>()), m_sort(new PlayerSortModel(this))
{
    m_ui->setupUi(this);
    QTableView& grid = *m_ui->Grid;
    grid.verticalHeader()->hide();
    grid.verticalHeader()->setDefaultSectionSize(grid.fontMetrics().height() + 6);
    grid.setAlternatingRowColors(true);
    grid.setItemDelegateForColumn(PlayerRow::Name, new PlayerNameDelegate(&grid));
    grid.setModel(m_sort);
    // Server order until the user clicks a header.
    grid.horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    grid.setSortingEnabled(true);
    grid.installEventFilter(this);

    connect(m_sort, &QAbstractItemModel::modelAboutToBeReset, this,
            &PlayersPage::rememberCurrentPlayer);
    connect(m_sort, &QAbstractItemModel::modelReset, this, &PlayersPage::restoreCurrentPlayer);

    loadRefreshChoice();
    connect(&m_refreshTimer, &QTimer::timeout, this, &PlayersPage::refreshRequested);
    connect(m_ui->chkAutoRefresh, &QCheckBox::toggled, this, &PlayersPage::applyRefreshChoice);
    connect(m_ui->spnRefreshSeconds, &QSpinBox::valueChanged, this,
            &PlayersPage::applyRefreshChoice);
}

PlayersPage::~PlayersPage() = default;

QTableView& PlayersPage::grid()
{
    return *m_ui->Grid;
}

void PlayersPage::setSourceModel(QAbstractItemModel& model)
{
    m_sort->setSourceModel(&model);
    connect(&model, &QAbstractItemModel::dataChanged, this, &PlayersPage::showStaleness);
    connect(&model, &QAbstractItemModel::modelReset, this, &PlayersPage::showStaleness);
    QHeaderView& header = *m_ui->Grid->horizontalHeader();
    header.setStretchLastSection(false);
    header.setMinimumSectionSize(header.fontMetrics().horizontalAdvance(QStringLiteral("Slot")));
    for (int column = 0; column < model.columnCount(); ++column) {
        header.setSectionResizeMode(column, column == PlayerRow::Name
                                                ? QHeaderView::Stretch
                                                : QHeaderView::ResizeToContents);
    }
}

QStringList PlayersPage::selectedCells() const
{
    const QAbstractItemModel* model = m_ui->Grid->model();
    const QModelIndex current = m_ui->Grid->currentIndex();
    QStringList cells;
    if (!model || !current.isValid()) {
        return cells;
    }
    for (int column = 0; column < model->columnCount(); ++column) {
        cells.append(model->index(current.row(), column).data(Qt::DisplayRole).toString());
    }
    return cells;
}

void PlayersPage::copySelectedRow()
{
    const QStringList cells = selectedCells();
    if (cells.isEmpty()) {
        Q_EMIT statusMessage(tr("Nothing to copy: select a player first."));
        return;
    }
    QGuiApplication::clipboard()->setText(cells.join(QLatin1Char('\t')));
    const QString name = GameColours::shownText(cells.value(PlayerRow::Name)).trimmed();
    Q_EMIT statusMessage(tr("Copied the row of %1 to the clipboard.").arg(name));
}

bool PlayersPage::eventFilter(QObject* watched, QEvent* event)
{
    // The grid would copy only the current cell.
    if (watched == m_ui->Grid && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copySelectedRow();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PlayersPage::loadRefreshChoice()
{
    bool ok = false;
    const int seconds = SettingsStore::read(kSection, kRefreshSecondsKey).toInt(&ok);
    const QSignalBlocker checkBlocker(m_ui->chkAutoRefresh);
    const QSignalBlocker spinBlocker(m_ui->spnRefreshSeconds);
    m_ui->spnRefreshSeconds->setValue(ok ? seconds : kDefaultRefreshSeconds);
    m_ui->chkAutoRefresh->setChecked(SettingsStore::read(kSection, kAutoRefreshKey) ==
                                     QLatin1String("1"));
    m_refreshTimer.setInterval(m_ui->spnRefreshSeconds->value() * 1000);
    if (m_ui->chkAutoRefresh->isChecked()) {
        m_refreshTimer.start();
    }
}

void PlayersPage::applyRefreshChoice()
{
    const bool on = m_ui->chkAutoRefresh->isChecked();
    const int seconds = m_ui->spnRefreshSeconds->value();
    SettingsStore::write(kSection, kAutoRefreshKey, on ? QStringLiteral("1") : QStringLiteral("0"));
    SettingsStore::write(kSection, kRefreshSecondsKey, QString::number(seconds));
    m_refreshTimer.setInterval(seconds * 1000);
    if (on) {
        m_refreshTimer.start();
    } else {
        m_refreshTimer.stop();
    }
}

// Rows of a server that stopped answering stay, greyed: they are what it last reported.
void PlayersPage::showStaleness()
{
    PlayerNameDelegate::showStale(
        *m_ui->Grid,
        m_sort->rowCount() > 0 && m_sort->index(0, 0).data(PlayerGridModel::kStaleRole).toBool(),
        tr("The server does not answer: these are the last players it reported."));
}

void PlayersPage::rememberCurrentPlayer()
{
    const QStringList cells = selectedCells();
    m_currentPlayer = cells.isEmpty() ? QStringList()
                                      : QStringList{cells.value(PlayerRow::Slot).trimmed(),
                                                    cells.value(PlayerRow::Name).trimmed()};
}

// Every refresh replaces the rows; the selected player stays selected, wherever he now is.
void PlayersPage::restoreCurrentPlayer()
{
    if (m_currentPlayer.isEmpty()) {
        return;
    }
    const QStringList wanted = std::exchange(m_currentPlayer, {});
    for (int row = 0; row < m_sort->rowCount(); ++row) {
        const QString slot = m_sort->index(row, PlayerRow::Slot).data().toString().trimmed();
        const QString name = m_sort->index(row, PlayerRow::Name).data().toString().trimmed();
        if (QStringList{slot, name} == wanted) {
            m_ui->Grid->setCurrentIndex(m_sort->index(row, PlayerRow::Name));
            return;
        }
    }
}

} // namespace garrison
