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
#include "platform/BoundedText.h"
#include "platform/ConsoleBox.h"
#include "platform/Dialogs.h"
#include "platform/ProcessControl.h"
#include "platform/SettingsStore.h"
#include "players/PlayerMenu.h"
#include "players/PlayersPage.h"
#include "players/ToolsMenu.h"
#include "rcon/RconDatagram.h"
#include "rcon/StatusParser.h"
#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QStyle>
#include <QTableView>

namespace garrison {

namespace {
const QString kRelayImage = QStringLiteral("pbucon.exe");
const QString kLoading = QStringLiteral("loading...");
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
    for (QWidget* page : std::initializer_list<QWidget*>{m_players, m_chat, m_settings, m_maps,
                                                         m_admin, m_terminal}) {
        m_ui->pages->addWidget(page);
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
                 {m_ui->Image4, QStyle::SP_ArrowBack},
                 {m_ui->Image11, QStyle::SP_DialogCloseButton}};
    for (const auto& entry : icons) {
        entry.button->setIcon(style()->standardIcon(entry.icon));
        entry.button->setIconSize(QSize(32, 32));
    }

    connect(m_ui->Image5, &QToolButton::clicked, this, [this] {
        showPage(Page::Players);
        m_Text6.clear();
        Send(QStringLiteral("status"));
    });
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
    connect(m_ui->Image4, &QToolButton::clicked, this, &MainWindow::logOut);
    connect(m_ui->Image11, &QToolButton::clicked, this, &MainWindow::exitProgram);
    QTableView& grid = m_players->grid();
    grid.setModel(&m_gridModel);
    for (int column = 0; column < PlayerRow::ColumnCount; ++column) {
        // Twips at 96 dots per inch.
        grid.setColumnWidth(column, PlayerGridModel::kColumnWidthsTwips[column] / 15);
    }
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
    connect(m_chat, &ChatPage::serverLogRequested, this, [this] { m_daemonAdmin.getLog(); });

    m_playerMenu = std::make_unique<PlayerMenu>(m_players->grid(), *this, m_dialogs, *m_reader);
    connect(m_playerMenu.get(), &PlayerMenu::warnRequested, m_tell.get(), &TellWindow::warn);
    connect(m_ui->Label97, &ClickLabel::clicked, m_toolsMenu.get(), &ToolsMenu::labelClicked);
    connect(m_ui->Label3, &ClickLabel::clicked, this, [this] { Send(QStringLiteral("mapname")); });
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

    showPage(Page::Players);
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
    const std::optional<RconClient::Failure> failure = m_rcon.Connect(m_Text3, m_Text4, m_txtRcon);
    if (!failure) {
        return true;
    }
    m_dialogs.message(QStringLiteral("An Error Has Occured!\r\n") + failure->description,
                      QStringLiteral("Error nº: ") + QString::number(failure->number),
                      BoxIcon::Critical);
    Q_EMIT loginWindowRequested();
    return false;
}

void MainWindow::Disconnect()
{
    m_rcon.close();
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
    console().appendText(ReplyText);
    m_Text6 += ReplyText;
    BoundedText::keepNewest(m_Text6, BoundedText::kReplyAccumulatorChars);
    dispatch(ReplyText);
    console().moveCaretToEnd();
}

// Replies carry no request identifier: the last command sent decides what a datagram answers.
void MainWindow::dispatch(const QString& ReplyText)
{
    const ReplyRouter::Route route = ReplyRouter::route(m_rcon.LastCommand());
    switch (route.action) {
    case ReplyRouter::Action::GetPlayers: {
        // Every datagram of a long status reply refills the grid from all replies so far.
        const StatusParser::GridFill fill = StatusParser::GetPlayers(m_Text6);
        m_gridModel.setRows(fill.rows);
        m_ui->Label4->setText(fill.playerCountText);
        WaitSend(QStringLiteral("mapname"));
        return;
    }
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

void MainWindow::takeMapReply(const QString& ReplyText)
{
    const QString map = ReplyRouter::parseMapName(ReplyText);
    m_ui->Label3->setText(map);
    if (ReplyRouter::isInvalidPassword(map)) {
        m_dialogs.message(QStringLiteral("You have an Invalid password for RCON!"), kProgramCaption,
                          BoxIcon::Critical);
        Q_EMIT loginWindowRequested();
        Disconnect();
    }
    // Disconnect has just put "loading..." there, so the query is armed after it too.
    if (ReplyRouter::hostNameWanted(m_ui->Label6->text())) {
        WaitSend(QStringLiteral("sv_hostname"));
    }
}

void MainWindow::showPage(Page page)
{
    m_ui->pages->setCurrentIndex(static_cast<int>(page));
}

MainWindow::Page MainWindow::currentPage() const
{
    return static_cast<Page>(m_ui->pages->currentIndex());
}

void MainWindow::gatedPage(Page page)
{
    if (m_rcon.DaemonFlag() != QLatin1String("1") || m_level == QLatin1String("admin") ||
        m_level == QLatin1String("poweradmin")) {
        showPage(page);
        return;
    }
    m_dialogs.message(QStringLiteral("Sorry you dont have access to this area!"),
                      QStringLiteral("Access Denied"), BoxIcon::Critical);
}

void MainWindow::openTerminal()
{
    showPage(Page::Terminal);
    m_terminal->setCommandLineAllowed(m_rcon.DaemonFlag() != QLatin1String("1") ||
                                      m_level == QLatin1String("poweradmin"));
}

void MainWindow::logOut()
{
    m_rcon.close();
    m_gridModel.clearCells();
    m_ui->Label6->setText(QStringLiteral("nohostname"));
    m_ui->Label3->setText(QStringLiteral("nomap"));
    m_ui->Label4->setText(QStringLiteral("0"));
    Q_EMIT loginWindowRequested();
}

void MainWindow::exitProgram()
{
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
    // A failed start is not reported: the game is not watched once asked to start.
    GameLaunch::start(m_txtiw3mp, GameLaunch::parameters(m_Text3, m_Text4, m_txtserverpass));
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

} // namespace garrison
