#include "MainWindow.h"

#include "app/PageNavigator.h"
#include "app/PlayerActions.h"
#include "app/ReaderWindow.h"
#include "app/ServerStateView.h"
#include "app/SessionNotes.h"
#include "app/UconSetup.h"
#include "bans/BanListWindow.h"
#include "control/AdminPage.h"
#include "control/ChatPage.h"
#include "control/JoinGame.h"
#include "control/MapsPage.h"
#include "control/SettingsPage.h"
#include "control/TerminalPage.h"
#include "history/History.h"
#include "history/HistoryBanSource.h"
#include "history/HistoryPage.h"
#include "history/HistoryQueries.h"
#include "platform/ConsoleBox.h"
#include "platform/Dialogs.h"
#include "platform/WindowMemory.h"
#include "players/GameColours.h"
#include "players/PlayerSortModel.h"
#include "players/PlayersPage.h"
#include "players/ToolsMenu.h"
#include "ui_MainWindow.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QPointer>
#include <QScrollArea>
#include <QStyle>
#include <QTableView>

namespace garrison {

MainWindow::MainWindow(Dialogs& dialogs, std::shared_ptr<History> history, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::MainWindow>()), m_dialogs(dialogs),
      m_session(std::make_unique<ServerSession>()), m_history(std::move(history)),
      m_reader(std::make_unique<ReaderWindow>()),
      m_daemonAdmin(*m_session, dialogs, [this] { return m_session->DaemonFlag(); }),
      m_toolsMenu(std::make_unique<ToolsMenu>())
{
    m_ui->setupUi(this);
    if (!m_history) {
        m_history = std::make_shared<History>();
        m_history->openFromSettings();
    }
    m_session->setRecorder(m_history.get());
    m_historyBans = std::make_unique<HistoryBanSource>(*m_history);
    buildPages();

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
                 {m_ui->ImageNewLogin, QStyle::SP_FileDialogNewFolder},
                 {m_ui->Image4, QStyle::SP_ArrowBack},
                 {m_ui->Image11, QStyle::SP_DialogCloseButton}};
    for (const auto& entry : icons) {
        entry.button->setIcon(style()->standardIcon(entry.icon));
        entry.button->setIconSize(QSize(22, 22));
    }

    // Sending "status" empties the reply accumulator (the session's own rule).
    connect(m_ui->Image5, &QToolButton::clicked, this, [this] {
        showPage(Page::Players);
        Send(QStringLiteral("status"));
    });
    connect(m_players, &PlayersPage::refreshRequested, this, &MainWindow::autoRefresh);
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
    connect(m_ui->Image7, &QToolButton::clicked, this,
            [this] { m_navigator->gatedPage(Page::Settings); });
    connect(m_ui->Image8, &QToolButton::clicked, this, [this] { showPage(Page::Maps); });
    connect(m_ui->Image9, &QToolButton::clicked, this,
            [this] { m_navigator->gatedPage(Page::Admin); });
    connect(m_ui->Image10, &QToolButton::clicked, m_navigator, &PageNavigator::openTerminal);
    connect(m_ui->ImageHistory, &QToolButton::clicked, this,
            [this] { m_navigator->openHistory({}); });
    connect(m_ui->ImageNewLogin, &QToolButton::clicked, this, &MainWindow::newLoginRequested);
    connect(m_ui->Image4, &QToolButton::clicked, this, &MainWindow::logOut);
    connect(m_ui->Image11, &QToolButton::clicked, this, &MainWindow::exitProgram);
    connect(m_ui->lblServerList, &ClickLabel::clicked, this, &MainWindow::serverListRequested);
    connect(m_admin, &AdminPage::startServerRequested, this,
            [this] { m_daemonAdmin.startServer(); });
    connect(m_admin, &AdminPage::stopServerRequested, this, [this] { m_daemonAdmin.stopServer(); });
    // An mp session's request would only be refused, in a box.
    connect(m_admin, &AdminPage::serverStateRequested, this, [this] {
        if (!m_session->pagesAllowed() || !m_daemonAdmin.requestServerState()) {
            m_admin->showWatchUnavailable();
        }
    });
    connect(m_admin, &AdminPage::skipRestartRequested, this,
            [this] { m_daemonAdmin.skipRestart(); });
    connect(m_admin, &AdminPage::restartNowRequested, this, [this] { m_daemonAdmin.restartNow(); });
    connect(m_chat, &ChatPage::serverLogRequested, this, [this] { m_daemonAdmin.getLog(); });
    connect(m_admin, &AdminPage::banListRequested, this, &MainWindow::openBanList);
    connect(&m_toolsMenu->banListEntry(), &QAction::triggered, this, &MainWindow::openBanList);
    connect(m_historyPage, &HistoryPage::banRequested, this, [this](const BanRecord& preset) {
        openBanList();
        m_banList->addBan(preset);
    });

    connect(m_actions, &PlayerActions::statusMessage, this, &MainWindow::statusMessage);
    connect(m_actions, &PlayerActions::historyRequested, m_navigator, &PageNavigator::openHistory);
    connect(m_players, &PlayersPage::statusMessage, this, &MainWindow::statusMessage);
    connect(this, &MainWindow::statusMessage, this, &MainWindow::showStatus);
    connect(m_history.get(), &History::statusMessage, this, &MainWindow::showStatus);
    connect(m_ui->Label97, &ClickLabel::clicked, m_toolsMenu.get(), &ToolsMenu::labelClicked);
    // A server left at the game's default name gets an empty one: it stays clickable.
    m_ui->Label6->setPlaceholder(tr("(no name)"));
    connect(m_ui->Label3, &ClickLabel::clicked, this, [this] { Send(QStringLiteral("mapname")); });
    connect(m_ui->Label6, &ClickLabel::clicked, this,
            [this] { Send(QStringLiteral("sv_hostname")); });
    connect(m_ui->Label91, &ClickLabel::clicked, this, [this](Qt::MouseButton button) {
        if (button == Qt::LeftButton) {
            m_joinGame->joinServer(Text3(), Text4());
        }
    });
    connect(m_ui->Label92, &ClickLabel::clicked, this, [this](Qt::MouseButton button) {
        if (button == Qt::LeftButton) {
            m_joinGame->openConfig();
        }
    });
    // Placed from here: the form's layout is about the header and the pages.
    auto* outer = qobject_cast<QBoxLayout*>(layout());
    Q_ASSERT(outer);
    m_notes = new SessionNotes(*this, *outer);
    m_stateView = new ServerStateView(*this, *m_ui->lblServerState, *m_notes);
    connect(m_settings, &SettingsPage::statusMessage, this, &MainWindow::showStatus);
    connect(m_admin, &AdminPage::statusMessage, this, &MainWindow::showStatus);
    wireSession();

    m_navigator->switchPage(Page::Players);
    WindowMemory::restore(*this, kGeometryKey);
    m_joinGame->Form_Load();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildPages()
{
    m_players = new PlayersPage(this);
    m_chat = new ChatPage(*m_session, m_dialogs, this);
    m_settings = new SettingsPage(*m_session, m_dialogs, this);
    m_maps = new MapsPage(*m_session, m_dialogs, this);
    m_admin = new AdminPage(*m_session, m_dialogs, this);
    m_terminal = new TerminalPage(*m_session, this);
    m_historyPage = new HistoryPage(*m_history, m_dialogs, this);
    m_banList = new BanListWindow(*m_session, m_dialogs, this);
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
    m_players->setSourceModel(m_session->gridModel());
    m_actions = new PlayerActions(*m_players, *m_session, *m_history, m_dialogs, *m_reader, this);
    m_joinGame = new JoinGame(m_dialogs, this);
    m_uconSetup = new UconSetup(*m_session, *m_chat, this);
    m_navigator = new PageNavigator(*m_ui->pages, *m_ui->Image6, *m_session, m_dialogs, *m_terminal,
                                    *m_historyPage, this);
}

// What the session publishes goes to the controls that show it; nothing goes back.
void MainWindow::wireSession()
{
    ServerSession* session = m_session.get();
    connect(session, &ServerSession::headerChanged, this, &MainWindow::showHeader);
    connect(session, &ServerSession::consoleText, this,
            [this](const QString& text) { console().appendText(text); });
    connect(session, &ServerSession::replyShown, this, [this] { console().moveCaretToEnd(); });
    connect(session, &ServerSession::statusMessage, this, &MainWindow::showStatus);
    connect(session, &ServerSession::readerText, m_reader.get(), &ReaderWindow::showText);
    connect(session, &ServerSession::indicatorParsed, this,
            [this](ReplyRouter::Indicator indicator, bool on) {
                // Both enumerations list the pairs in the same order.
                m_settings->setIndicator(static_cast<SettingsPage::Indicator>(indicator), on);
            });
    connect(session, &ServerSession::listPublished, m_admin, &AdminPage::setListText);
    connect(session, &ServerSession::listPublished, m_banList, &BanListWindow::takeServerList);
    connect(m_banList, &BanListWindow::serverListRequested, &session->lists(),
            &ListPublication::clear);
    connect(m_banList, &BanListWindow::serverUnbanSent, session,
            [session](const QStringList& cells, const QString& command) {
                session->recordAction(cells, command, QString());
            });
    m_banList->setEngineBans([this] {
        QList<BanTableModel::Row> rows;
        const HistoryQueries* queries = m_history->queries();
        if (!queries) {
            return rows;
        }
        for (const PlayerAction& action : queries->engineBans(m_session->serverKey())) {
            BanTableModel::Row row;
            row.unbanKey = action.name;
            row.ban.names = QStringList{action.name};
            row.ban.guid = action.guid;
            const QString address = action.address.trimmed();
            BanRecord::parseAddress(address.left(address.lastIndexOf(QLatin1Char(':'))),
                                    &row.ban.address, &row.ban.prefixLength);
            row.ban.reason = action.reason;
            row.ban.issuedBy = action.actor;
            row.ban.issuedAt = QDateTime::fromSecsSinceEpoch(action.at, Qt::UTC);
            rows.append(row);
        }
        return rows;
    });
    connect(session, &ServerSession::playerKeptOut, this,
            [this](const QString& name, qint64 banId, const QString& reason) {
                showStatus(tr("Kept out %1 (ban %2: %3)")
                               .arg(GameColours::shownText(name))
                               .arg(banId)
                               .arg(reason.left(120)));
            });
    const auto readValues = [this](const QStringList& variables) {
        if (m_session->pagesAllowed()) {
            m_session->readValues(variables);
        }
    };
    connect(m_settings, &SettingsPage::valuesRequested, this, readValues);
    connect(m_admin, &AdminPage::valuesRequested, this, readValues);
    connect(session, &ServerSession::valueRead, m_settings, &SettingsPage::showServerValue);
    connect(session, &ServerSession::valueRead, m_admin, &AdminPage::showServerValue);
    connect(m_admin, &AdminPage::listRequested, &session->lists(), &ListPublication::clear);
    connect(session, &ServerSession::passwordRefused, this, &MainWindow::refusePassword);
    connect(session, &ServerSession::disconnected, this, [this] {
        m_notes->hideSilence();
        m_stateView->startSession();
        console().clearText();
        hide();
    });
    connect(session, &ServerSession::gameChat, this, [this](const DaemonEvent& event) {
        m_chat->showGameChat(event.at().isValid() ? event.at() : QDateTime::currentDateTimeUtc(),
                             event.teamChat(), event.value(QStringLiteral("name")),
                             event.value(QStringLiteral("text")));
    });
    connect(session, &ServerSession::gameNotice, m_notes, &SessionNotes::showAlert);
    m_players->sortModel().setRecentJoin(
        [session](const QStringList& cells) { return session->recentJoin(cells); });
    connect(session, &ServerSession::recentJoinsChanged, &m_players->sortModel(),
            &PlayerSortModel::marksChanged);
    connect(&session->answerWatch(), &AnswerWatch::silence, m_notes, &SessionNotes::showSilence);
    connect(&session->answerWatch(), &AnswerWatch::answered, m_notes, &SessionNotes::hideSilence);
    connect(session, &ServerSession::stoppedAnswering, m_stateView,
            &ServerStateView::stoppedAnswering);
    connect(session, &ServerSession::answeringAgain, m_stateView, &ServerStateView::answeringAgain);
    connect(session, &ServerSession::daemonServerEvent, this, [this](const DaemonEvent& event) {
        m_stateView->daemonEvent(event);
        // The Admin page in view follows what the daemon tells.
        if (currentPage() == Page::Admin && m_session->pagesAllowed()) {
            m_daemonAdmin.requestServerState();
        }
    });
}

void MainWindow::showHeader()
{
    m_ui->Label6->setText(m_session->hostName());
    m_ui->Label3->setText(m_session->mapName());
    m_ui->Label4->setText(m_session->playerCount());
    m_ui->lblServerIP->setText(Text3());
    m_ui->lblServerPort->setText(Text4());
    m_stateView->setServer(m_session->hostName(), Text3(), Text4());
}

ConsoleBox& MainWindow::console()
{
    return m_terminal->console();
}

QString MainWindow::geometryKey(const QString& serverKey)
{
    return kGeometryKey + QLatin1Char('@') + serverKey;
}

bool MainWindow::Connect()
{
    // A window that comes up for a server takes the place it had for that server.
    if (!isVisible()) {
        WindowMemory::restore(*this, geometryKey(m_session->serverKey()));
    }
    startSession();
    m_uconSetup->takeServer(m_session->serverKey());
    const std::optional<RconClient::Failure> failure = m_session->Connect();
    if (!failure) {
        // A page in view shows the new server's values too.
        m_settings->requestValues();
        m_admin->requestValues();
        return true;
    }
    m_dialogs.message(QStringLiteral("An Error Has Occured!\r\n") + failure->description,
                      QStringLiteral("Error nº: ") + QString::number(failure->number),
                      BoxIcon::Critical);
    Q_EMIT loginWindowRequested();
    return false;
}

void MainWindow::startSession()
{
    m_session->start();
    m_notes->hideSilence();
    m_stateView->startSession();
    showHeader();
    m_actions->startSession();
    m_reader->startSession();
    showStatus(QString());
    m_chat->startSession();
    m_settings->startSession();
    m_maps->startSession();
    m_admin->startSession();
    m_terminal->startSession();
    m_historyPage->setServer(m_session->serverKey());
    BanSource* bans = banSource();
    m_session->setBanSource(bans);
    m_banList->setBanSource(bans);
    m_banList->setServer(m_session->serverKey(), m_session->actor());
    m_banList->startSession();
    m_historyBans->setActor(m_session->actor());
    m_navigator->startSession();
}

// Said once a session; the session ends when the box is closed.
void MainWindow::refusePassword()
{
    m_dialogs.message(QStringLiteral("You have an Invalid password for RCON!"), kProgramCaption,
                      BoxIcon::Critical);
    Q_EMIT loginWindowRequested();
    Disconnect();
}

void MainWindow::setDaemonUser(const QString& user)
{
    m_session->setDaemonUser(user);
    m_historyPage->setHandler(user.isEmpty() ? QStringLiteral("rcon") : user);
}

BanSource* MainWindow::banSource() const
{
    if (m_session->DaemonFlag() == QLatin1String("1")) {
        return m_daemonBans;
    }
    return m_historyBans.get();
}

void MainWindow::openBanList()
{
    m_banList->show();
    m_banList->raise();
    m_banList->activateWindow();
}

void MainWindow::showStatus(const QString& text)
{
    m_notes->showStatus(text);
}

// The automatic refresh asks only while the grid is in view; the session waits for a quiet
// line.
void MainWindow::autoRefresh()
{
    if (isVisible() && currentPage() == Page::Players) {
        m_session->refresh();
    }
}

void MainWindow::rememberWindow()
{
    if (!Text3().isEmpty()) {
        WindowMemory::remember(*this, geometryKey(m_session->serverKey()));
    }
}

void MainWindow::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous()) {
        m_session->cancelRefresh();
        rememberWindow();
    }
    QWidget::hideEvent(event);
}

void MainWindow::showServerState(const QString& report)
{
    m_admin->showServerState(report);
}

void MainWindow::logOut()
{
    rememberWindow();
    m_session->logOut();
    m_notes->hideSilence();
    m_stateView->startSession();
    Q_EMIT loginWindowRequested();
}

// Whether the program ends with this window, and with it every relay, is the controller's
// decision: other windows may still administer their servers.
void MainWindow::exitProgram()
{
    rememberWindow();
    m_ending = true;
    m_session->close();
    Q_EMIT exitRequested();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_ending) {
        exitProgram();
    }
    event->accept();
}

} // namespace garrison
