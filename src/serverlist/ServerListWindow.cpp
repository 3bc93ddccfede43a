#include "ServerListWindow.h"

#include "platform/Dialogs.h"
#include "platform/WindowMemory.h"
#include "players/PlayerNameDelegate.h"
#include "players/PlayerSortModel.h"
#include "rcon/PlayerGridModel.h"
#include "serverlist/SavedServers.h"
#include "serverlist/ServerListModel.h"
#include "serverlist/ServerSortModel.h"
#include "ui_ServerListWindow.h"

#include <QHeaderView>
#include <QHideEvent>
#include <QKeyEvent>
#include <QShortcut>

namespace garrison {

namespace {
const QString kGeometryKey = QStringLiteral("ServerListGeometry");

void prepareTable(QTableView& table)
{
    table.verticalHeader()->hide();
    table.verticalHeader()->setDefaultSectionSize(table.fontMetrics().height() + 6);
    table.setItemDelegateForColumn(0, new PlayerNameDelegate(&table));
    // The list's own order until the user clicks a header.
    table.horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table.setSortingEnabled(true);
    table.horizontalHeader()->setHighlightSections(false);
}

} // namespace

ServerListWindow::ServerListWindow(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::ServerListWindow>()),
      m_dialogs(dialogs), m_model(new ServerListModel(this)), m_sort(new ServerSortModel(this)),
      m_players(new PlayerGridModel(this)), m_playerSort(new PlayerSortModel(this))
{
    m_ui->setupUi(this);
    m_ui->splitter->setStretchFactor(0, 2);
    m_ui->splitter->setStretchFactor(1, 1);

    QTableView& servers = *m_ui->tblServers;
    m_sort->setSourceModel(m_model);
    servers.setModel(m_sort);
    prepareTable(servers);
    servers.installEventFilter(this);
    QHeaderView& header = *servers.horizontalHeader();
    header.setStretchLastSection(false);
    for (int column = 0; column < ServerListModel::Columns; ++column) {
        header.setSectionResizeMode(column, column == ServerListModel::Name
                                                ? QHeaderView::Stretch
                                                : QHeaderView::ResizeToContents);
    }

    QTableView& players = *m_ui->tblPlayers;
    m_playerSort->setSourceModel(m_players);
    players.setModel(m_playerSort);
    prepareTable(players);
    for (const int column : {PlayerRow::Guid, PlayerRow::Slot, PlayerRow::Address}) {
        players.setColumnHidden(column, true);
    }
    players.horizontalHeader()->setSectionResizeMode(PlayerRow::Name, QHeaderView::Stretch);

    connect(m_ui->txtFilter, &QLineEdit::textChanged, m_sort, &ServerSortModel::setFilterText);
    connect(m_ui->btnRefresh, &QPushButton::clicked, this, [this] {
        m_model->query().refresh();
        m_note = tr("Asked every server not asked in the last 5 s.");
        updateStatus();
    });
    connect(m_ui->btnPause, &QPushButton::toggled, this, &ServerListWindow::setPaused);
    connect(m_ui->btnLogin, &QPushButton::clicked, this, &ServerListWindow::logIn);
    connect(&servers, &QTableView::doubleClicked, this, &ServerListWindow::logIn);
    connect(m_ui->txtAddress, &QLineEdit::returnPressed, this, &ServerListWindow::addAddress);
    connect(m_ui->btnAdd, &QPushButton::clicked, this, &ServerListWindow::addAddress);
    connect(m_ui->btnRemove, &QPushButton::clicked, this, &ServerListWindow::removeAddress);
    connect(servers.selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ServerListWindow::currentChanged);
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                const int row = currentRow();
                if (row >= topLeft.row() && row <= bottomRight.row()) {
                    showPlayers();
                }
            });
    connect(m_model, &QAbstractItemModel::modelReset, this, &ServerListWindow::currentChanged);
    connect(&m_model->query(), &ServerQuery::queryFinished, this, &ServerListWindow::updateStatus);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &QWidget::close);

    reload();
    currentChanged();
    WindowMemory::restore(*this, kGeometryKey);
}

ServerListWindow::~ServerListWindow() = default;

void ServerListWindow::reload()
{
    QStringList skipped;
    m_model->setEntries(SavedServers::load(&skipped));
    m_skipped = skipped;
    updateStatus();
}

bool ServerListWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->tblServers && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            logIn();
            return true;
        }
        if (key == Qt::Key_Delete && m_ui->btnRemove->isEnabled()) {
            removeAddress();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ServerListWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    reload();
    if (!m_ui->btnPause->isChecked()) {
        m_model->query().start();
    }
}

// Nobody reads a hidden list: it stops asking until it is shown again.
void ServerListWindow::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous()) {
        WindowMemory::remember(*this, kGeometryKey);
        m_model->query().pause();
    }
    QWidget::hideEvent(event);
}

int ServerListWindow::currentRow() const
{
    const QModelIndex current = m_sort->mapToSource(m_ui->tblServers->currentIndex());
    return current.isValid() ? current.row() : -1;
}

void ServerListWindow::select(int row)
{
    const QModelIndex source = m_model->index(row, ServerListModel::Name);
    if (!m_sort->mapFromSource(source).isValid()) {
        // Hidden by the filter: the user asked for this row, so the filter goes.
        m_ui->txtFilter->clear();
    }
    m_ui->tblServers->setCurrentIndex(m_sort->mapFromSource(source));
    m_ui->tblServers->scrollTo(m_ui->tblServers->currentIndex());
}

void ServerListWindow::logIn()
{
    const int row = currentRow();
    if (row < 0) {
        m_note = tr("Select a server first.");
        updateStatus();
        return;
    }
    const ServerListEntry& entry = m_model->entry(row);
    if (entry.profile > 0) {
        Q_EMIT profileLoginRequested(entry.profile);
    } else {
        Q_EMIT addressLoginRequested(entry.host, QString::number(entry.port));
    }
}

void ServerListWindow::addAddress()
{
    QString error;
    const std::optional<SavedServers::Address> address =
        SavedServers::parseAddress(m_ui->txtAddress->text(), &error);
    if (!address) {
        m_dialogs.message(error, kProgramCaption, BoxIcon::Information);
        m_ui->txtAddress->setFocus();
        return;
    }
    const QString text = ServerListModel::addressText(address->host, address->port);
    if (const int row = m_model->rowOf(address->host, address->port); row >= 0) {
        m_note = tr("%1 is in the list already.").arg(text);
    } else {
        QList<SavedServers::Address> added = SavedServers::addedAddresses();
        added.append(*address);
        SavedServers::saveAddedAddresses(added);
        m_model->addEntry({QString(), address->host, address->port, 0});
        m_note = tr("Added %1.").arg(text);
    }
    m_ui->txtAddress->clear();
    select(m_model->rowOf(address->host, address->port));
    updateStatus();
}

void ServerListWindow::removeAddress()
{
    const int row = currentRow();
    if (row < 0 || m_model->entry(row).profile > 0) {
        return;
    }
    const ServerListEntry entry = m_model->entry(row);
    QList<SavedServers::Address> added = SavedServers::addedAddresses();
    added.removeIf([&](const SavedServers::Address& address) {
        return address.host == entry.host && address.port == entry.port;
    });
    SavedServers::saveAddedAddresses(added);
    m_model->removeEntry(row);
    // One click on Add brings it back.
    const QString text = ServerListModel::addressText(entry.host, entry.port);
    m_ui->txtAddress->setText(text);
    m_note = tr("Removed %1.").arg(text);
    updateStatus();
}

void ServerListWindow::setPaused(bool paused)
{
    if (paused) {
        m_model->query().pause();
    } else if (isVisible()) {
        m_model->query().start();
    }
    m_note.clear();
    updateStatus();
}

void ServerListWindow::currentChanged()
{
    const int row = currentRow();
    m_ui->btnLogin->setEnabled(row >= 0);
    m_ui->btnRemove->setEnabled(row >= 0 && m_model->entry(row).profile == 0);
    showPlayers();
}

void ServerListWindow::showPlayers()
{
    const int row = currentRow();
    QList<PlayerRow> rows =
        row >= 0 ? ServerListModel::playerRows(m_model->server(row)) : QList<PlayerRow>();
    // Every answer would otherwise reset the table and lose the player selected in it.
    if (rows != m_players->rows()) {
        m_players->setRows(std::move(rows));
    }
    // A server that stopped answering keeps the players it last reported, marked as such.
    const bool stale = row >= 0 && m_model->server(row).state == QueriedServer::State::NotAnswering;
    m_players->setStale(stale);
    PlayerNameDelegate::showStale(
        *m_ui->tblPlayers, stale && m_players->rowCount() > 0,
        stale ? tr("Not answering: the players it reported at %1")
                    .arg(m_model->server(row).lastSeen.toLocalTime().toString(
                        QStringLiteral("HH:mm:ss")))
              : QString());
}

void ServerListWindow::updateStatus()
{
    int answering = 0;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        answering += m_model->server(row).answered();
    }
    QStringList parts;
    if (!m_note.isEmpty()) {
        parts.append(m_note);
    }
    const int count = m_model->rowCount();
    parts.append((count == 1 ? tr("1 server") : tr("%1 servers").arg(count)) +
                 tr(", %1 answering").arg(answering));
    if (m_ui->btnPause->isChecked()) {
        parts.append(tr("paused"));
    }
    if (!m_skipped.isEmpty()) {
        parts.append(tr("left out for their port: %1").arg(m_skipped.join(QStringLiteral(", "))));
    }
    m_ui->lblStatus->setText(parts.join(QStringLiteral(" · ")));
}

} // namespace garrison
