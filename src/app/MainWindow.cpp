#include "MainWindow.h"

#include "app/ReaderWindow.h"
#include "app/TellWindow.h"
#include "app/UconSetup.h"
#include "control/AdminPage.h"
#include "control/ChatPage.h"
#include "control/GameLaunch.h"
#include "control/JoinServerConfig.h"
#include "control/MapsPage.h"
#include "control/SettingsPage.h"
#include "control/TerminalPage.h"
#include "history/History.h"
#include "history/HistoryPage.h"
#include "history/HistoryQueries.h"
#include "platform/ConsoleBox.h"
#include "platform/Dialogs.h"
#include "platform/ProcessControl.h"
#include "platform/SettingsStore.h"
#include "platform/WindowMemory.h"
#include "players/PlayerMenu.h"
#include "players/PlayerSortModel.h"
#include "players/PlayersPage.h"
#include "players/ToolsMenu.h"
#include "rcon/RconDatagram.h"
#include "rcon/ServerRefusals.h"
#include "ui_MainWindow.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QDateTime>
#include <QScrollArea>
#include <QStyle>
#include <QTableView>
#include <algorithm>

namespace garrison {

namespace {
const QString kRelayImage = QStringLiteral("pbucon.exe");
const QString kLoading = QStringLiteral("loading...");
const QString kGeometryKey = QStringLiteral("MainGeometry");
const QString kLastPageKey = QStringLiteral("LastPage");
const QStringList kPageNames = {QStringLiteral("Players"),  QStringLiteral("Chat"),
                                QStringLiteral("Settings"), QStringLiteral("Maps"),
                                QStringLiteral("Admin"),    QStringLiteral("Terminal"),
                                QStringLiteral("History")};
const QString kMapName = QStringLiteral("mapname");
// Long enough for the last datagram of a reply to follow its first on a distant server.
constexpr qint64 kRefreshQuietMs = 1500;
} // namespace

MainWindow::MainWindow(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::MainWindow>()), m_dialogs(dialogs),
      m_reader(std::make_unique<ReaderWindow>()),
      m_daemonAdmin(*this, dialogs, [this] { return m_rcon.DaemonFlag(); }),
      m_tell(std::make_unique<TellWindow>(*this)), m_toolsMenu(std::make_unique<ToolsMenu>())
{
    m_ui->setupUi(this);

    m_players = new PlayersPage(this);
    m_chat = new ChatPage(*this, m_dialogs, this);
    m_settings = new SettingsPage(*this, m_dialogs, this);
    m_maps = new MapsPage(*this, m_dialogs, this);
    m_admin = new AdminPage(*this, m_dialogs, this);
    m_terminal = new TerminalPage(*this, this);
    m_history = std::make_unique<History>();
    m_history->openFromSettings();
    m_historyPage = new HistoryPage(*m_history, m_dialogs, this);
    for (QWidget* page : std::initializer_list<QWidget*>{m_players, m_chat, m_settings, m_maps,
                                                         m_admin, m_terminal, m_historyPage}) {
        // A page taller or wider than a small screen scrolls instead of pushing the window off
        // it; each page scrolls on its own, so that a small one never scrolls for a larger one.
        auto* scroll = new QScrollArea(m_ui->pages);
        scroll->setObjectName(page->objectName() + QStringLiteral("Scroll"));
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(page);
        m_ui->pages->addWidget(scroll);
    }

    const struct {
        QToolButton* button;
        QStyle::StandardPixmap icon;
    } icons[] = {{m_ui->Image5, QStyle::SP_FileDialogDetailedView},
                 {m_ui->Image6, QStyle::SP_MessageBoxInformation},
                 {m_ui->Image7, QStyle::SP_FileDialogListView},
                 {m_ui->Image8, QStyle::SP_DirIcon},
                 {m_ui->Image9, QStyle::SP_DriveNetIcon},
                 {m_ui->Image10, QStyle::SP_ComputerIcon},
                 {m_ui->ImageHistory, QStyle::SP_FileDialogContentsView},
                 {m_ui->Image4, QStyle::SP_ArrowBack},
                 {m_ui->Image11, QStyle::SP_DialogCloseButton}};
    for (const auto& entry : icons) {
        entry.button->setIcon(style()->standardIcon(entry.icon));
        entry.button->setIconSize(QSize(22, 22));
    }

    // Sending "status" empties the reply accumulator (commandSent below).
    connect(m_ui->Image5, &QToolButton::clicked, this, [this] {
        showPage(Page::Players);
        Send(QStringLiteral("status"));
    });
    connect(m_players, &PlayersPage::refreshRequested, this, &MainWindow::autoRefresh);
    m_refreshRetry.setSingleShot(true);
    connect(&m_refreshRetry, &QTimer::timeout, this, &MainWindow::autoRefresh);
    m_uconSetup = new UconSetup(*this, *m_chat, this);
    connect(this, &MainWindow::exitRequested, m_uconSetup, &UconSetup::cancel);
    connect(this, &MainWindow::loginWindowRequested, m_uconSetup, &UconSetup::cancel);
    connect(m_ui->Image6, &QToolButton::clicked, this, [this] {
        // The first visit waits between its steps; the window may be gone afterwards.
        const QPointer<MainWindow> alive(this);
        m_uconSetup->firstVisit(m_ucon);
        if (alive) {
            showPage(Page::Chat);
        }
    });
    connect(m_ui->Image7, &QToolButton::clicked, this, [this] { gatedPage(Page::Settings); });
    connect(m_ui->Image8, &QToolButton::clicked, this, [this] { showPage(Page::Maps); });
    connect(m_ui->Image9, &QToolButton::clicked, this, [this] { gatedPage(Page::Admin); });
    connect(m_ui->Image10, &QToolButton::clicked, this, &MainWindow::openTerminal);
    connect(m_ui->ImageHistory, &QToolButton::clicked, this, [this] { openHistory({}); });
    connect(m_ui->Image4, &QToolButton::clicked, this, &MainWindow::logOut);
    connect(m_ui->Image11, &QToolButton::clicked, this, &MainWindow::exitProgram);
    m_players->setSourceModel(m_gridModel);
    connect(&m_lists, &ListPublication::published, this, &MainWindow::listPublished);
    connect(&m_lists, &ListPublication::published, m_admin, &AdminPage::setListText);
    connect(m_admin, &AdminPage::listRequested, &m_lists, &ListPublication::clear);
    connect(this, &MainWindow::indicatorParsed, this,
            [this](ReplyRouter::Indicator indicator, bool on) {
                // Both enumerations list the pairs in the same order.
                m_settings->setIndicator(static_cast<SettingsPage::Indicator>(indicator), on);
            });
    connect(m_admin, &AdminPage::startServerRequested, this,
            [this] { m_daemonAdmin.startServer(); });
    connect(m_admin, &AdminPage::stopServerRequested, this, [this] { m_daemonAdmin.stopServer(); });
    // An mp session's request would only be refused, in a box.
    connect(m_admin, &AdminPage::serverStateRequested, this, [this] {
        if (!pageAllowed() || !m_daemonAdmin.requestServerState()) {
            m_admin->showWatchUnavailable();
        }
    });
    connect(m_admin, &AdminPage::skipRestartRequested, this,
            [this] { m_daemonAdmin.skipRestart(); });
    connect(m_admin, &AdminPage::restartNowRequested, this, [this] { m_daemonAdmin.restartNow(); });
    connect(m_chat, &ChatPage::serverLogRequested, this, [this] { m_daemonAdmin.getLog(); });

    m_playerMenu = std::make_unique<PlayerMenu>(m_players->grid(), *this, m_dialogs, *m_reader);
    connect(m_playerMenu.get(), &PlayerMenu::warnRequested, this,
            [this] { m_warnedCells = m_playerMenu->currentCells(); });
    connect(m_playerMenu.get(), &PlayerMenu::warnRequested, m_tell.get(), &TellWindow::warn);
    connect(m_playerMenu.get(), &PlayerMenu::statusMessage, this, &MainWindow::statusMessage);
    connect(m_players, &PlayersPage::statusMessage, this, &MainWindow::statusMessage);
    connect(this, &MainWindow::statusMessage, this, &MainWindow::showStatus);
    connect(m_history.get(), &History::statusMessage, this, &MainWindow::showStatus);
    m_players->sortModel().setNameNote([this](const QStringList& cells) {
        PlayerRow row;
        for (int column = 0; column < PlayerRow::ColumnCount; ++column) {
            row[column] = cells.value(column);
        }
        return historyText(row);
    });
    connect(m_tell.get(), &TellWindow::messageSent, this,
            [this](const QString& slot, const QString& message) {
                recordAction(m_warnedCells,
                             QStringLiteral("tell ") + slot + QLatin1Char(' ') + message, message);
            });
    connect(m_playerMenu.get(), &PlayerMenu::playerActed, this, &MainWindow::recordAction);
    connect(m_playerMenu.get(), &PlayerMenu::historyRequested, this, &MainWindow::openHistory);
    connect(m_ui->Label97, &ClickLabel::clicked, m_toolsMenu.get(), &ToolsMenu::labelClicked);
    // A server left at the game's default name gets an empty one: it stays clickable.
    m_ui->Label6->setPlaceholder(tr("(no name)"));
    connect(m_ui->Label3, &ClickLabel::clicked, this, [this] { Send(kMapName); });
    connect(m_ui->Label6, &ClickLabel::clicked, this,
            [this] { Send(QStringLiteral("sv_hostname")); });
    connect(m_ui->Label91, &ClickLabel::clicked, this, [this](Qt::MouseButton button) {
        if (button == Qt::LeftButton) {
            joinServer();
        }
    });
    connect(m_ui->Label92, &ClickLabel::clicked, this, [this](Qt::MouseButton button) {
        if (button == Qt::LeftButton) {
            openJoinServerConfig();
        }
    });

    connect(&m_rcon, &RconClient::echoed, this,
            [this](const QString& line) { console().appendText(line); });
    connect(&m_rcon, &RconClient::datagramReceived, this, &MainWindow::receive);
    connect(&m_rcon, &RconClient::datagramsLost, this, [this](quint64 count) {
        const QString text = (count == 1 ? tr("1 reply from the server was lost")
                                         : tr("%1 replies from the server were lost").arg(count)) +
                             tr(": they came faster than GARRISON could take them.");
        console().appendText(QStringLiteral("\r\n[") + text + QStringLiteral("]\r\n"));
        showStatus(text);
    });
    connect(&m_rcon, &RconClient::commandSent, this, &MainWindow::commandSent);
    connect(&m_statusReply, &StatusReply::tableReady, this, &MainWindow::takeStatusTable);

    // Placed from here: the form's layout is about the header and the pages.
    auto* outer = qobject_cast<QBoxLayout*>(layout());
    Q_ASSERT(outer);
    m_noAnswer = new QLabel(this);
    m_noAnswer->setObjectName(QStringLiteral("lblNoAnswer"));
    m_noAnswer->setWordWrap(true);
    m_noAnswer->setStyleSheet(QStringLiteral("QLabel { background: #fff3c4; color: #4a3800; "
                                             "border: 1px solid #d9b948; padding: 4px; }"));
    m_noAnswer->hide();
    outer->insertWidget(1, m_noAnswer);
    m_statusLine = new QLabel(this);
    m_statusLine->setObjectName(QStringLiteral("statusLine"));
    m_statusLine->setFrameShape(QFrame::StyledPanel);
    m_statusLine->setFrameShadow(QFrame::Sunken);
    m_statusLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long text is cut at the window's edge (the tool tip has it whole), never widens it.
    m_statusLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_statusLine->setToolTip(tr("The last command sent, and the server's refusals"));
    outer->addWidget(m_statusLine);
    connect(&m_answerWatch, &AnswerWatch::silence, this, [this](const QString& note) {
        m_noAnswer->setText(note);
        m_noAnswer->show();
    });
    connect(&m_answerWatch, &AnswerWatch::answered, m_noAnswer, &QWidget::hide);
    connect(m_settings, &SettingsPage::statusMessage, this, &MainWindow::showStatus);
    connect(m_admin, &AdminPage::statusMessage, this, &MainWindow::showStatus);

    switchPage(Page::Players);
    WindowMemory::restore(*this, kGeometryKey);
    Form_Load();
}

MainWindow::~MainWindow() = default;

void MainWindow::Form_Load()
{
    m_txtiw3mp = SettingsStore::read(QStringLiteral("[Configs]"), QStringLiteral("Path"));
    m_txtserverpass =
        SettingsStore::read(QStringLiteral("[Configs]"), QStringLiteral("ServerPass"));
}

ConsoleBox& MainWindow::console()
{
    return m_terminal->console();
}

void MainWindow::takeLoginValues(const QString& host, const QString& port,
                                 const QString& rconPassword)
{
    m_Text3 = host;
    m_Text4 = port;
    m_txtRcon = rconPassword;
    m_ui->lblServerIP->setText(host);
    m_ui->lblServerPort->setText(port);
}

void MainWindow::takeDaemonGrant(const QString& level, const QString& daemonHost,
                                 const QString& host, const QString& port)
{
    m_level = level;
    m_RconType = daemonHost;
    m_Text3 = host;
    m_Text4 = port;
    m_ui->lblServerIP->setText(host);
    m_ui->lblServerPort->setText(port);
}

void MainWindow::keepUconIdentity(const UconIdentity& identity)
{
    m_ucon = identity;
}

void MainWindow::IdentDaemon(const QString& Result)
{
    m_rcon.setDaemonFlag(Result);
}

bool MainWindow::Connect()
{
    startSession();
    m_answerWatch.sessionStarted(m_Text3, m_Text4);
    const std::optional<RconClient::Failure> failure = m_rcon.Connect(m_Text3, m_Text4, m_txtRcon);
    if (!failure) {
        return true;
    }
    endWatching();
    m_dialogs.message(QStringLiteral("An Error Has Occured!\r\n") + failure->description,
                      QStringLiteral("Error nº: ") + QString::number(failure->number),
                      BoxIcon::Critical);
    Q_EMIT loginWindowRequested();
    return false;
}

void MainWindow::startSession()
{
    endWatching();
    m_rcon.cancelDeferral();
    m_refreshRetry.stop();
    // A list still arriving from the previous server is not published into this session.
    m_lists.Timer3().stop();
    m_lists.clear();
    // No rows, no selection: the players page has nothing of the last server left.
    m_gridModel.setRows({});
    m_playerMenu->startSession();
    m_warnedCells.clear();
    m_tell->startSession();
    m_reader->startSession();
    m_ui->Label6->setText(kLoading);
    m_ui->Label3->setText(kLoading);
    m_ui->Label4->setText(QStringLiteral("0"));
    showStatus(QString());
    m_chat->startSession();
    m_settings->startSession();
    m_maps->startSession();
    m_admin->startSession();
    m_terminal->startSession();
    m_historyPage->setServer(serverKey());
    if ((currentPage() == Page::Settings || currentPage() == Page::Admin) && !pageAllowed()) {
        switchPage(Page::Players);
    }
    m_terminal->setCommandLineAllowed(commandLineAllowed());
}

void MainWindow::Disconnect()
{
    m_rcon.close();
    endWatching();
    m_ui->Label6->setText(kLoading);
    m_ui->Label3->setText(kLoading);
    m_ui->Label4->setText(QStringLiteral("0"));
    console().clearText();
    m_txtRcon.clear();
    hide();
}

void MainWindow::Send(const QString& cmd)
{
    m_rcon.Send(cmd);
}

void MainWindow::WaitSend(const QString& Cmdz)
{
    m_rcon.WaitSend(Cmdz);
}

void MainWindow::receive(const QByteArray& datagram)
{
    const QString ReplyText = RconDatagram::cleanReply(datagram);
    m_answerWatch.replyReceived();
    console().appendText(ReplyText);
    if (const std::optional<QString> refusal = ServerRefusals::find(ReplyText)) {
        showStatus(tr("The server refused /%1: %2 (the whole answer is on the Terminal page)")
                       .arg(m_rcon.LastCommand(), *refusal));
    }
    if (ReplyRouter::isInvalidPassword(ReplyText)) {
        refusePassword();
    } else {
        dispatch(ReplyText);
    }
    console().moveCaretToEnd();
}

// Replies carry no request identifier: the last command sent decides what a datagram answers.
void MainWindow::dispatch(const QString& ReplyText)
{
    const ReplyRouter::Route route = ReplyRouter::route(m_rcon.LastCommand());
    switch (route.action) {
    case ReplyRouter::Action::GetPlayers:
        m_statusReply.append(ReplyText);
        return;
    case ReplyRouter::Action::ListAppend:
        m_lists.append(ReplyText);
        return;
    case ReplyRouter::Action::Reader:
        m_reader->showText(ReplyText);
        return;
    case ReplyRouter::Action::Indicator:
        Q_EMIT indicatorParsed(route.indicator.indicator,
                               ReplyRouter::indicatorIsOn(ReplyText, route.indicator));
        return;
    case ReplyRouter::Action::HostName:
        m_ui->Label6->setText(ReplyRouter::parseHostName(ReplyText));
        return;
    case ReplyRouter::Action::MapName:
        takeMapReply(ReplyText);
        return;
    case ReplyRouter::Action::None:
        return;
    }
}

void MainWindow::takeStatusTable(const StatusParser::StatusTable& table)
{
    m_gridModel.setRows(table.rows);
    m_ui->Label4->setText(QString::number(table.rows.size()));
    const QString host = m_ui->Label6->text();
    const bool hostKnown = host != kLoading && host != QLatin1String("nohostname");
    m_history->recordStatus(serverKey(), hostKnown ? host : QString(), table.rows,
                            QDateTime::currentSecsSinceEpoch());
    WaitSend(kMapName);
}

void MainWindow::takeMapReply(const QString& ReplyText)
{
    m_ui->Label3->setText(ReplyRouter::parseMapName(ReplyText));
    if (ReplyRouter::hostNameWanted(m_ui->Label6->text())) {
        WaitSend(QStringLiteral("sv_hostname"));
    }
}

// The server gives every command of the session this answer; the first one ends the session.
void MainWindow::refusePassword()
{
    m_statusReply.discard();
    if (m_refusingPassword) {
        return;
    }
    m_refusingPassword = true;
    m_dialogs.message(QStringLiteral("You have an Invalid password for RCON!"), kProgramCaption,
                      BoxIcon::Critical);
    Q_EMIT loginWindowRequested();
    Disconnect();
    m_refusingPassword = false;
}

void MainWindow::commandSent(const QString& cmd, const QDateTime& at)
{
    // The one place that empties the accumulator: whoever sends "status", the table that
    // answers it is read alone.
    if (ReplyRouter::route(cmd).action == ReplyRouter::Action::GetPlayers) {
        m_statusReply.restart();
    }
    showStatus(tr("Last command: /%1 at %2").arg(cmd, at.time().toString(u"HH:mm:ss")));
    // The server needs a moment to load the map before it names it.
    if (ReplyRouter::changesMap(cmd)) {
        WaitSend(kMapName);
    }
}

void MainWindow::endWatching()
{
    m_answerWatch.stop();
    m_noAnswer->hide();
    m_statusReply.discard();
}

void MainWindow::showStatus(const QString& text)
{
    m_statusLine->setText(text);
    m_statusLine->setToolTip(text);
}

void MainWindow::showPage(Page page)
{
    switchPage(page);
    SettingsStore::write(WindowMemory::kSection, kLastPageKey,
                         kPageNames.value(static_cast<int>(page)));
}

void MainWindow::switchPage(Page page)
{
    m_ui->pages->setCurrentIndex(static_cast<int>(page));
}

void MainWindow::restoreLastPage()
{
    const qsizetype index = kPageNames.indexOf(
        SettingsStore::read(WindowMemory::kSection, kLastPageKey, kPageNames.first()));
    switch (static_cast<Page>(index)) {
    case Page::Chat:
        // The page is of use only once the relay runs: shown the way its button shows it.
        m_ui->Image6->click();
        return;
    case Page::Settings:
    case Page::Admin:
        // A page this user may not open is not offered again, and not refused again either.
        if (pageAllowed()) {
            showPage(static_cast<Page>(index));
        }
        return;
    case Page::Maps:
        showPage(Page::Maps);
        return;
    case Page::Terminal:
        openTerminal();
        return;
    case Page::History:
        openHistory({});
        return;
    case Page::Players:
        return;
    }
}

// The automatic refresh asks only while the grid is in view and nothing else waits: a deferred
// command would be replaced by the "mapname" query that the status reply arms, and the reply
// to a command just sent would be routed as part of the status table. A refresh that finds the
// line busy asks again once it has been quiet long enough.
void MainWindow::autoRefresh()
{
    m_refreshRetry.stop();
    if (!isVisible() || currentPage() != Page::Players || !m_rcon.isOpen()) {
        return;
    }
    const qint64 quiet = m_rcon.quietMs();
    if (!m_rcon.PendingCommand().isEmpty() || quiet < kRefreshQuietMs) {
        m_refreshRetry.start(static_cast<int>(std::max<qint64>(kRefreshQuietMs - quiet, 100)));
        return;
    }
    Send(QStringLiteral("status"));
}

void MainWindow::rememberWindow()
{
    if (isVisible()) {
        WindowMemory::remember(*this, kGeometryKey);
    }
}

void MainWindow::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous()) {
        WindowMemory::remember(*this, kGeometryKey);
    }
    QWidget::hideEvent(event);
}

MainWindow::Page MainWindow::currentPage() const
{
    return static_cast<Page>(m_ui->pages->currentIndex());
}

void MainWindow::showServerState(const QString& report)
{
    m_admin->showServerState(report);
}

bool MainWindow::pageAllowed() const
{
    return m_rcon.DaemonFlag() != QLatin1String("1") || m_level == QLatin1String("admin") ||
           m_level == QLatin1String("poweradmin");
}

void MainWindow::gatedPage(Page page)
{
    if (pageAllowed()) {
        showPage(page);
        return;
    }
    m_dialogs.message(QStringLiteral("Sorry you dont have access to this area!"),
                      QStringLiteral("Access Denied"), BoxIcon::Critical);
}

bool MainWindow::commandLineAllowed() const
{
    return m_rcon.DaemonFlag() != QLatin1String("1") || m_level == QLatin1String("poweradmin");
}

void MainWindow::openTerminal()
{
    showPage(Page::Terminal);
    m_terminal->setCommandLineAllowed(commandLineAllowed());
}

void MainWindow::logOut()
{
    m_rcon.close();
    endWatching();
    m_gridModel.clearCells();
    m_ui->Label6->setText(QStringLiteral("nohostname"));
    m_ui->Label3->setText(QStringLiteral("nomap"));
    m_ui->Label4->setText(QStringLiteral("0"));
    Q_EMIT loginWindowRequested();
}

void MainWindow::exitProgram()
{
    rememberWindow();
    m_ending = true;
    m_rcon.close();
    ProcessControl::KillProcessByName(kRelayImage);
    Q_EMIT exitRequested();
}

void MainWindow::setJoinSettings(const QString& path, const QString& password)
{
    m_txtiw3mp = path;
    m_txtserverpass = password;
}

void MainWindow::joinServer()
{
    if (m_txtiw3mp.isEmpty()) {
        m_dialogs.message(QStringLiteral("You need to config this first!"),
                          QStringLiteral("Config!"), BoxIcon::Critical);
        openJoinServerConfig();
        return;
    }
    // Once started, the game is not watched; what can be known before is said.
    const GameLaunch::Problem problem = GameLaunch::check(m_txtiw3mp);
    if (problem == GameLaunch::Problem::None &&
        GameLaunch::start(m_txtiw3mp, GameLaunch::parameters(m_Text3, m_Text4, m_txtserverpass))) {
        return;
    }
    m_dialogs.message(GameLaunch::explain(problem == GameLaunch::Problem::None
                                              ? GameLaunch::Problem::StartFailed
                                              : problem,
                                          m_txtiw3mp),
                      QStringLiteral("Join Server"), BoxIcon::Critical);
    openJoinServerConfig();
}

void MainWindow::openJoinServerConfig()
{
    // An open window is brought forward as it is, edits included.
    if (!m_joinConfig) {
        m_joinConfig = new JoinServerConfig(m_dialogs, m_txtiw3mp, m_txtserverpass, this);
        connect(m_joinConfig, &JoinServerConfig::saved, this, &MainWindow::setJoinSettings);
    }
    m_joinConfig->show();
    m_joinConfig->raise();
    m_joinConfig->activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_ending) {
        m_ending = true;
        ProcessControl::KillProcessByName(kRelayImage);
        m_rcon.close();
        Q_EMIT exitRequested();
    }
    event->accept();
}

QString MainWindow::serverKey() const
{
    return m_Text3 + QLatin1Char(':') + m_Text4;
}

void MainWindow::recordAction(const QStringList& cells, const QString& command,
                              const QString& reason)
{
    PlayerAction action;
    action.at = QDateTime::currentSecsSinceEpoch();
    action.serverKey = serverKey();
    action.actor =
        m_rcon.DaemonFlag() == QLatin1String("1") ? m_daemonUser : QStringLiteral("rcon");
    action.command = command;
    action.name = cells.value(PlayerRow::Name);
    action.guid = cells.value(PlayerRow::Guid);
    action.slot = cells.value(PlayerRow::Slot);
    action.address = cells.value(PlayerRow::Address);
    action.reason = reason;
    m_history->recordAction(action);
}

// The History page is open to everyone, like the players page.
void MainWindow::openHistory(const QStringList& cells)
{
    m_historyPage->setServer(serverKey());
    if (!cells.isEmpty()) {
        m_historyPage->showPlayerFor(serverKey(), cells.value(PlayerRow::Guid),
                                     cells.value(PlayerRow::Name));
    }
    showPage(Page::History);
}

QString MainWindow::historyText(const PlayerRow& row) const
{
    const HistoryQueries* queries = m_history->queries();
    return queries ? queries->tooltipText(serverKey(), row[PlayerRow::Guid], row[PlayerRow::Name])
                   : QString();
}

} // namespace garrison
