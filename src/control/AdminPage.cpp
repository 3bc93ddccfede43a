#include "AdminPage.h"

#include "control/CommandButtons.h"
#include "control/SettingsCommands.h"
#include "daemon/ServerStateReport.h"
#include "platform/Dialogs.h"
#include "platform/DigitsOnly.h"
#include "rcon/CommandSender.h"
#include "ui_AdminPage.h"

#include <QShowEvent>
#include <algorithm>

namespace garrison {

AdminPage::AdminPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::AdminPage>()), m_sender(sender),
      m_dialogs(dialogs), m_values(*this, SettingsCommands::Page::Admin)
{
    m_ui->setupUi(this);
    m_ui->privateSlotsLayout->addWidget(m_values.add(QStringLiteral("sv_privateClients")), 0, 3);
    m_ui->privateSlotsLayout->addWidget(m_values.add(QStringLiteral("sv_privatePassword")), 1, 3);
    connectCommandButtons(*this, SettingsCommands::Page::Admin, m_sender);
    allowDigitsOnly(*m_ui->Text44, 2);
    allowDigitsOnly(*m_ui->Text11, 9);

    connect(m_ui->Label99, &LabelButton::clicked, this, &AdminPage::setPrivateSlots);
    sendOnEnter(*m_ui->Text44, [this] { return setPrivateSlots(); });
    connect(m_ui->Label101, &LabelButton::clicked, this, &AdminPage::setSlotsPassword);
    sendOnEnter(*m_ui->Text45, [this] { return setSlotsPassword(); });
    connect(m_ui->Label36, &LabelButton::clicked, this, &AdminPage::requestBanList);
    connect(m_ui->Label34, &LabelButton::clicked, this, &AdminPage::unban);
    sendOnEnter(*m_ui->Text11, [this] { return unban(); });
    connect(m_ui->Label95, &LabelButton::clicked, this, &AdminPage::addBadName);
    connect(m_ui->Label96, &LabelButton::clicked, this, &AdminPage::requestBadNameList);
    connect(m_ui->LabelBanList, &LabelButton::clicked, this, &AdminPage::banListRequested);
    connect(m_ui->Label94, &LabelButton::clicked, this, &AdminPage::restartPunkbuster);
    connect(m_ui->Label15, &LabelButton::clicked, this, &AdminPage::restartServer);
    connect(m_ui->Label23, &LabelButton::clicked, this, &AdminPage::screenshotAllPlayers);
    connect(m_ui->Labelstart, &LabelButton::clicked, this, &AdminPage::startServerRequested);
    connect(m_ui->Label76, &LabelButton::clicked, this, &AdminPage::stopServerRequested);
    connect(m_ui->watchRefreshButton, &QPushButton::clicked, this,
            &AdminPage::serverStateRequested);
    connect(m_ui->watchSkipButton, &QPushButton::clicked, this, &AdminPage::skipRestartRequested);
    connect(m_ui->watchRestartNowButton, &QPushButton::clicked, this,
            &AdminPage::restartNowRequested);
    m_watchRefresh.setSingleShot(true);
    connect(&m_watchRefresh, &QTimer::timeout, this, [this] {
        if (isVisible()) {
            Q_EMIT serverStateRequested();
        }
    });
}

AdminPage::~AdminPage() = default;

void AdminPage::setListText(const QString& text)
{
    m_ui->Text10->setText(text);
}

QString AdminPage::listText() const
{
    return m_ui->Text10->text();
}

void AdminPage::startSession()
{
    m_ui->Text10->clearText();
    m_ui->Text11->setText(QStringLiteral("0"));
    m_ui->Text44->setText(QStringLiteral("0"));
    m_ui->Text45->setText(QStringLiteral("Password"));
    showWatchUnavailable();
    m_values.clear();
}

void AdminPage::requestValues()
{
    if (isVisible()) {
        Q_EMIT valuesRequested(m_values.variables());
    }
}

void AdminPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Q_EMIT serverStateRequested();
    if (!event->spontaneous()) {
        requestValues();
    }
}

void AdminPage::showServerValue(const QString& variable, const QString& value)
{
    m_values.show(variable, value);
}

void AdminPage::showServerState(const QString& text)
{
    const std::optional<ServerStateReport> report = ServerStateReport::parse(text);
    if (!report) {
        return;
    }
    const QDateTime now = QDateTime::currentDateTime();
    m_ui->watchStateLabel->setText(report->stateText(now));
    m_ui->watchCrashLabel->setText(report->crashText(now));
    m_ui->watchRestartLabel->setText(report->restartText(now));
    m_ui->watchSkipButton->setEnabled(report->nextRestart.isValid());
    m_ui->watchRestartNowButton->setEnabled(report->state != QLatin1String("not-configured") &&
                                            !report->restartNow.isValid());
    m_ui->watchAnnouncementsList->clear();
    for (const ServerStateReport::Announcement& announcement : report->announcements) {
        auto* item = new QListWidgetItem(ServerStateReport::describe(announcement));
        item->setToolTip(announcement.text);
        m_ui->watchAnnouncementsList->addItem(item);
    }
    if (report->announcementsLeft > 0) {
        m_ui->watchAnnouncementsList->addItem(
            tr("and %n more in garrisond's configuration", nullptr, report->announcementsLeft));
    }
    // Daemon and client clocks may differ: never sooner than a second, nor later than a minute.
    constexpr qint64 kRestartOverMs = 3000;
    if (report->restartNow.isValid() || report->state == QLatin1String("restarting")) {
        const qint64 wait = report->restartNow.isValid()
                                ? now.msecsTo(report->restartNow) + kRestartOverMs
                                : kRestartOverMs;
        m_watchRefresh.start(static_cast<int>(std::clamp<qint64>(wait, 1000, 60000)));
    } else {
        m_watchRefresh.stop();
    }
    if (!report->note.isEmpty()) {
        Q_EMIT statusMessage(report->note);
    }
}

void AdminPage::showWatchUnavailable()
{
    m_ui->watchStateLabel->setText(tr("The daemon watches the game server in daemon sessions."));
    m_ui->watchCrashLabel->clear();
    m_ui->watchRestartLabel->clear();
    m_ui->watchSkipButton->setEnabled(false);
    m_ui->watchRestartNowButton->setEnabled(false);
    m_ui->watchAnnouncementsList->clear();
    m_watchRefresh.stop();
}

bool AdminPage::setPrivateSlots()
{
    if (!SettingsCommands::isNumber(m_ui->Text44->text().trimmed())) {
        Q_EMIT statusMessage(tr("Private slots take a number of slots; nothing was sent."));
        return false;
    }
    const SettingsCommands::Confirmed slots = SettingsCommands::privateSlots(m_ui->Text44->text());
    m_sender.Send(slots.command);
    m_dialogs.message(slots.report, kProgramCaption, BoxIcon::None);
    return true;
}

bool AdminPage::setSlotsPassword()
{
    const SettingsCommands::Confirmed password =
        SettingsCommands::slotsPassword(m_ui->Text45->text());
    m_sender.Send(password.command);
    m_dialogs.message(password.report, kProgramCaption, BoxIcon::None);
    return true;
}

void AdminPage::requestBanList()
{
    Q_EMIT listRequested();
    m_sender.WaitSend(SettingsCommands::kBanList);
    m_dialogs.message(QStringLiteral("This may take a few seconds!"), QStringLiteral("Ban list"),
                      BoxIcon::Information);
}

bool AdminPage::unban()
{
    const std::optional<QString> command = SettingsCommands::unban(m_ui->Text11->text());
    if (!command) {
        m_dialogs.message(QStringLiteral("Please fill the ban number!"),
                          QStringLiteral("Remove Ban"), BoxIcon::Information);
        return false;
    }
    if (!SettingsCommands::isNumber(m_ui->Text11->text())) {
        Q_EMIT statusMessage(tr("The ban number takes digits only; nothing was sent."));
        return false;
    }
    m_sender.Send(*command);
    return true;
}

void AdminPage::addBadName()
{
    // Cancel gives an empty name, which is sent all the same.
    const QString name = m_dialogs.input(QStringLiteral("Please enter the name you want to block"),
                                         kProgramCaption, QStringLiteral("NAZI"));
    const SettingsCommands::Confirmed badName = SettingsCommands::badName(name);
    m_sender.Send(badName.command);
    m_dialogs.message(badName.report, kProgramCaption, BoxIcon::Information);
}

void AdminPage::requestBadNameList()
{
    Q_EMIT listRequested();
    m_sender.WaitSend(SettingsCommands::kBadNameList);
    m_dialogs.message(QStringLiteral(u"Check the list on the \u00B4Banned Management\u00B4"),
                      kProgramCaption, BoxIcon::None);
}

void AdminPage::restartPunkbuster()
{
    m_sender.Send(SettingsCommands::kRestartPunkbuster);
    m_dialogs.message(QStringLiteral("Punkbuster should be restarting now!"), kProgramCaption,
                      BoxIcon::None);
}

void AdminPage::restartServer()
{
    if (m_dialogs.message(QStringLiteral("Are you sure you want to restart server?"),
                          QStringLiteral("Restart Server"), BoxIcon::None,
                          BoxButtons::YesNo) == BoxAnswer::Yes) {
        m_sender.Send(SettingsCommands::kRestartServer);
    }
}

void AdminPage::screenshotAllPlayers()
{
    m_sender.Send(SettingsCommands::kScreenshotAll);
    m_dialogs.message(QStringLiteral("Screenshots are being taken!"), kProgramCaption,
                      BoxIcon::None);
}

} // namespace garrison
