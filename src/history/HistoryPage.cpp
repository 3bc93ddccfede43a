#include "HistoryPage.h"

#include "history/History.h"
#include "history/HistoryCsv.h"
#include "history/HistoryQueries.h"
#include "history/PlayerCountChart.h"
#include "platform/Dialogs.h"
#include "players/GameColours.h"
#include "players/PlayerNameDelegate.h"
#include "ui_HistoryPage.h"

#include <QDateTime>
#include <QFileDialog>
#include <QHeaderView>
#include <QSaveFile>
#include <QVBoxLayout>

namespace garrison {

namespace {

QString shown(HistoryTime at)
{
    return HistoryQueries::localTime(at);
}

void fill(QTreeWidget& list, const QStringList& headers, const QList<QStringList>& rows)
{
    list.clear();
    list.setHeaderLabels(headers);
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const QStringList& row : rows) {
        items.append(new QTreeWidgetItem(row));
    }
    list.addTopLevelItems(items);
}

} // namespace

HistoryPage::HistoryPage(History& history, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::HistoryPage>()), m_history(history),
      m_dialogs(dialogs), m_chooseFile([this](const QString& suggestion) {
          return QFileDialog::getSaveFileName(this, QStringLiteral("Export"), suggestion,
                                              QStringLiteral("CSV files (*.csv)"));
      })
{
    m_ui->setupUi(this);
    m_ui->cboSslMode->addItem(QStringLiteral("prefer: encrypted when the server offers it"),
                              HistoryConnection::kSslPrefer);
    m_ui->cboSslMode->addItem(QStringLiteral("require: encrypted, or no connection"),
                              HistoryConnection::kSslRequire);
    m_ui->cboSslMode->addItem(
        QStringLiteral("verify-full: encrypted, to the server its certificate names"),
        HistoryConnection::kSslVerifyFull);
    m_ui->lstResults->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Guid"),
                                       QStringLiteral("Server"), QStringLiteral("Last seen")});
    m_chart = new PlayerCountChart(m_ui->chartArea);
    m_chart->setObjectName(QStringLiteral("chartCount"));
    m_chart->setToolTip(m_ui->chartArea->toolTip());
    auto* chartLayout = new QVBoxLayout(m_ui->chartArea);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addWidget(m_chart);
    m_ui->splitter->setStretchFactor(1, 2);
    for (QTreeWidget* list : {m_ui->lstResults, m_ui->lstNames, m_ui->lstAddresses,
                              m_ui->lstSessions, m_ui->lstActions, m_ui->lstReports}) {
        list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    }
    // Names and host names in their game colours, as the player grid draws them.
    m_ui->lstResults->setItemDelegateForColumn(0, new PlayerNameDelegate(m_ui->lstResults));
    m_ui->lstNames->setItemDelegateForColumn(0, new PlayerNameDelegate(m_ui->lstNames));
    m_ui->lstSessions->setItemDelegateForColumn(1, new PlayerNameDelegate(m_ui->lstSessions));

    connect(m_ui->txtSearch, &QLineEdit::textChanged, this, &HistoryPage::search);
    connect(m_ui->lstResults, &QTreeWidget::currentItemChanged, this, [this] {
        const int index = m_ui->lstResults->indexOfTopLevelItem(m_ui->lstResults->currentItem());
        if (index >= 0 && index < m_hits.size()) {
            showPlayer(m_hits[index].playerId);
        }
    });
    connect(m_ui->cmdSaveNotes, &QPushButton::clicked, this, &HistoryPage::saveNotes);
    connect(m_ui->cmdHandled, &QPushButton::clicked, this, &HistoryPage::markReportHandled);
    connect(m_ui->cmdForget, &QPushButton::clicked, this, &HistoryPage::forget);
    connect(m_ui->cmdBan, &QPushButton::clicked, this, &HistoryPage::requestBan);
    connect(m_ui->cmdExportSearch, &QPushButton::clicked, this, [this] {
        exportText(QStringLiteral("history-search.csv"), HistoryCsv::searchResult(m_hits));
    });
    connect(m_ui->cmdExportRecord, &QPushButton::clicked, this, [this] {
        HistoryQueries* queries = m_history.queries();
        const std::optional<PlayerRecord> record =
            queries && m_player ? queries->record(*m_player) : std::nullopt;
        if (record) {
            exportText(QStringLiteral("history-player.csv"), HistoryCsv::record(*record));
        }
    });
    connect(m_ui->cboRange, &QComboBox::currentIndexChanged, this, &HistoryPage::refreshChart);
    connect(m_ui->cmdApply, &QPushButton::clicked, this, &HistoryPage::applyStorage);
    connect(&m_history, &History::changed, this, [this] {
        if (isVisible()) {
            refresh();
        }
    });
    connect(&m_history, &History::stateChanged, this, &HistoryPage::showState);
    loadStorage();
    showState();
    refresh();
}

HistoryPage::~HistoryPage() = default;

void HistoryPage::setServer(const QString& serverKey)
{
    m_server = serverKey;
    refreshChart();
}

void HistoryPage::showState()
{
    const QString problem = m_history.problem();
    m_ui->lblState->setText(problem);
    m_ui->lblState->setVisible(!problem.isEmpty());
    m_ui->lblLocation->setText(QStringLiteral("History kept in ") +
                               m_history.connection().description());
    m_ui->lblLink->setText(m_history.linkNote());
    m_ui->lblLink->setVisible(!m_history.linkNote().isEmpty());
    const bool writable = m_history.state() == History::State::Recording;
    m_ui->cmdSaveNotes->setEnabled(writable && m_player.has_value());
    m_ui->cmdForget->setEnabled(writable && m_player.has_value());
    m_ui->cmdExportRecord->setEnabled(m_player.has_value());
    m_ui->cmdBan->setEnabled(m_player.has_value());
}

void HistoryPage::search()
{
    HistoryQueries* queries = m_history.queries();
    m_hits = queries ? queries->search(m_ui->txtSearch->text()) : QList<SearchHit>();
    QList<QStringList> rows;
    for (const SearchHit& hit : m_hits) {
        rows.append({hit.name, hit.guid, hit.serverKey, shown(hit.lastSeen)});
    }
    const QSignalBlocker quiet(m_ui->lstResults);
    fill(*m_ui->lstResults,
         {QStringLiteral("Name"), QStringLiteral("Guid"), QStringLiteral("Server"),
          QStringLiteral("Last seen")},
         rows);
}

bool HistoryPage::showPlayerFor(const QString& serverKey, const QString& guid, const QString& name)
{
    HistoryQueries* queries = m_history.queries();
    const std::optional<qint64> id =
        queries ? queries->playerId(serverKey, guid, name) : std::nullopt;
    if (!id) {
        return false;
    }
    showPlayer(*id);
    return true;
}

void HistoryPage::requestBan()
{
    HistoryQueries* queries = m_history.queries();
    const std::optional<PlayerRecord> record =
        queries && m_player ? queries->record(*m_player) : std::nullopt;
    if (!record) {
        return;
    }
    BanRecord preset;
    if (const std::optional<QString> guid = BanRecord::normalisedGuid(record->guid);
        guid && *guid != QLatin1String("0")) {
        preset.guid = *guid;
    }
    // The newest name and address come first.
    if (!record->names.isEmpty()) {
        preset.names.append(record->names.first().text);
    }
    if (!record->addresses.isEmpty()) {
        QString address = record->addresses.first().text.trimmed();
        if (QHostAddress(address).isNull()) {
            address = address.left(address.lastIndexOf(QLatin1Char(':')));
        }
        BanRecord::parseAddress(address, &preset.address, &preset.prefixLength);
    }
    Q_EMIT banRequested(preset);
}

void HistoryPage::showPlayer(qint64 playerId)
{
    m_player = playerId;
    HistoryQueries* queries = m_history.queries();
    const std::optional<PlayerRecord> record = queries ? queries->record(playerId) : std::nullopt;
    m_ui->txtNotes->setPlainText(record ? record->notes : QString());
    refresh();
}

void HistoryPage::refresh()
{
    refreshChart();
    HistoryQueries* queries = m_history.queries();
    const std::optional<PlayerRecord> record =
        queries && m_player ? queries->record(*m_player) : std::nullopt;
    if (!record) {
        m_player.reset();
    }
    const QStringList seenHeaders = {QStringLiteral("Server"), QStringLiteral("First seen"),
                                     QStringLiteral("Last seen")};
    QList<QStringList> names;
    QList<QStringList> addresses;
    QList<QStringList> sessions;
    QList<QStringList> actions;
    if (record) {
        for (const SeenText& name : record->names) {
            names.append({name.text, name.serverKey, shown(name.firstSeen), shown(name.lastSeen)});
        }
        for (const SeenText& address : record->addresses) {
            addresses.append({address.text, address.serverKey, shown(address.firstSeen),
                              shown(address.lastSeen)});
        }
        for (const SessionEntry& session : record->sessions) {
            sessions.append({session.serverKey, session.hostName, shown(session.started),
                             shown(session.ended), session.score});
        }
        for (const PlayerAction& action : record->actions) {
            actions.append(
                {shown(action.at), action.serverKey, action.actor, action.command, action.reason});
        }
        m_ui->lblPlayer->setText(
            QStringLiteral("%1 — guid %2, first seen %3")
                .arg(record->names.isEmpty()
                         ? QStringLiteral("?")
                         : GameColours::shownText(record->names.constFirst().text),
                     record->guid.isEmpty() ? QStringLiteral("none") : record->guid,
                     shown(record->firstSeen)));
    } else {
        m_ui->lblPlayer->setText(QStringLiteral("No player chosen"));
    }
    fill(*m_ui->lstNames, QStringList{QStringLiteral("Name")} + seenHeaders, names);
    fill(*m_ui->lstAddresses, QStringList{QStringLiteral("Address")} + seenHeaders, addresses);
    fill(*m_ui->lstSessions,
         {QStringLiteral("Server"), QStringLiteral("Host name"), QStringLiteral("Started"),
          QStringLiteral("Ended"), QStringLiteral("Score")},
         sessions);
    fill(*m_ui->lstActions,
         {QStringLiteral("Time"), QStringLiteral("Server"), QStringLiteral("By"),
          QStringLiteral("Command"), QStringLiteral("Reason")},
         actions);
    refreshReports();
    showState();
}

void HistoryPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshReports();
}

void HistoryPage::refreshReports()
{
    HistoryQueries* queries = m_history.queries();
    const QList<PlayerReport> reports = queries ? queries->reports() : QList<PlayerReport>();
    QList<QStringList> rows;
    for (const PlayerReport& report : reports) {
        rows.append({shown(report.at), GameColours::shownText(report.reporterName),
                     GameColours::shownText(report.reportedName), report.reason,
                     report.handledBy.isEmpty()
                         ? tr("open")
                         : tr("handled by %1, %2").arg(report.handledBy, shown(report.handledAt)),
                     report.serverKey});
    }
    fill(*m_ui->lstReports,
         {tr("Time"), tr("Reporter"), tr("Reported"), tr("Reason"), tr("State"), tr("Server")},
         rows);
    for (qsizetype i = 0; i < reports.size(); ++i) {
        m_ui->lstReports->topLevelItem(static_cast<int>(i))
            ->setData(0, Qt::UserRole, reports[i].id);
    }
}

void HistoryPage::markReportHandled()
{
    HistoryQueries* queries = m_history.queries();
    const QTreeWidgetItem* item = m_ui->lstReports->currentItem();
    if (queries == nullptr || item == nullptr) {
        return;
    }
    if (!queries->setReportHandled(item->data(0, Qt::UserRole).toLongLong(), m_handler,
                                   QDateTime::currentSecsSinceEpoch())) {
        m_dialogs.message(tr("The report could not be marked: %1").arg(m_history.problem()),
                          kProgramCaption, BoxIcon::Warning);
    }
    refreshReports();
}

void HistoryPage::refreshChart()
{
    const bool week = m_ui->cboRange->currentIndex() == 1;
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime from = now.addDays(week ? -7 : -1);
    HistoryQueries* queries = m_history.queries();
    const QList<CountSample> samples =
        queries && !m_server.isEmpty() ? queries->playerCounts(m_server, from.toSecsSinceEpoch())
                                       : QList<CountSample>();
    m_chart->setSeries(m_server.isEmpty() ? QStringLiteral("Players") : m_server, samples, from,
                       now, week);
}

void HistoryPage::saveNotes()
{
    HistoryQueries* queries = m_history.queries();
    if (!queries || !m_player || !queries->setNotes(*m_player, m_ui->txtNotes->toPlainText())) {
        m_dialogs.message(QStringLiteral("The notes could not be saved: ") + m_history.problem(),
                          kProgramCaption, BoxIcon::Critical);
    }
}

void HistoryPage::forget()
{
    HistoryQueries* queries = m_history.queries();
    if (!queries || !m_player) {
        return;
    }
    if (m_dialogs.message(QStringLiteral("Remove everything the history holds about this player, "
                                         "his names, addresses, sessions, notes and the actions "
                                         "taken on him?"),
                          kProgramCaption, BoxIcon::Question,
                          BoxButtons::YesNo) != BoxAnswer::Yes) {
        return;
    }
    m_history.forget(*m_player);
    m_player.reset();
    m_ui->txtNotes->clear();
    search();
    refresh();
}

void HistoryPage::exportText(const QString& suggestion, const QString& text)
{
    const QString path = m_chooseFile(suggestion);
    if (path.isEmpty()) {
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        m_dialogs.message(QStringLiteral("The file could not be written: ") + file.errorString(),
                          kProgramCaption, BoxIcon::Critical);
    }
}

void HistoryPage::loadStorage()
{
    const HistoryConnection connection = HistoryConnection::fromSettings();
    m_ui->spnKeepDays->setValue(historyKeepDays());
    m_ui->chkShared->setChecked(connection.kind == HistoryConnection::Kind::Postgres);
    m_ui->txtHost->setText(connection.host);
    m_ui->spnPort->setValue(connection.port);
    m_ui->txtDatabase->setText(connection.database);
    m_ui->txtUser->setText(connection.user);
    m_ui->txtPassword->setText(connection.password);
    m_ui->cboSslMode->setCurrentIndex(m_ui->cboSslMode->findData(connection.sslMode));
    m_ui->txtRootCertificate->setText(connection.rootCertificate);
}

void HistoryPage::applyStorage()
{
    HistoryConnection connection = HistoryConnection::fromSettings();
    connection.kind = m_ui->chkShared->isChecked() ? HistoryConnection::Kind::Postgres
                                                   : HistoryConnection::Kind::Sqlite;
    connection.host = m_ui->txtHost->text().trimmed();
    connection.port = m_ui->spnPort->value();
    connection.database = m_ui->txtDatabase->text().trimmed();
    connection.user = m_ui->txtUser->text().trimmed();
    connection.password = m_ui->txtPassword->text();
    connection.sslMode = m_ui->cboSslMode->currentData().toString();
    connection.rootCertificate = m_ui->txtRootCertificate->text().trimmed();
    connection.save();
    m_history.setKeepDays(m_ui->spnKeepDays->value());
    m_history.open(connection, m_ui->spnKeepDays->value());
    m_player.reset();
    search();
    refresh();
}

} // namespace garrison
