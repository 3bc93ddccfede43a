#include "LoginWindow.h"

#include "login/ConnectionProfiles.h"
#include "login/DaemonPins.h"
#include "platform/AppFolder.h"
#include "platform/Dialogs.h"
#include "platform/DigitsOnly.h"
#include "platform/LocalAddress.h"
#include "platform/ReadableColours.h"
#include "platform/SecretStore.h"
#include "platform/SettingsStore.h"
#include "platform/WindowMemory.h"
#include "ucon/UconPassword.h"
#include "ui_LoginWindow.h"

#include <QHideEvent>
#include <QKeyEvent>

namespace {
const QString kGeometryKey = QStringLiteral("LoginGeometry");
// garrisond's reason for a wrong user name, password or level alike: the window gives its own
// advice instead.
const QString kWrongCredentials = QStringLiteral("Wrong user name, password or level");
const QString kCheckCredentials =
    QStringLiteral("Check is password, username and level are correct!");
} // namespace

namespace garrison {

LoginWindow::LoginWindow(Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::LoginWindow>()), m_dialogs(dialogs),
      m_localAddress(&localIpAddress)
{
    m_ui->setupUi(this);
    m_ui->Combo1->setCurrentIndex(-1);
    for (QLineEdit* port : {m_ui->Text9, m_ui->Text5, m_ui->Text7}) {
        allowDigitsOnly(*port, 5);
    }

    connect(m_ui->Option1, &QRadioButton::clicked, this, &LoginWindow::selectDaemonMode);
    connect(m_ui->Option2, &QRadioButton::clicked, this, &LoginWindow::selectRconMode);
    connect(m_ui->Command1, &QPushButton::clicked, this, &LoginWindow::DONELoad);
    connect(m_ui->Command2, &QPushButton::clicked, this, [this] {
        WindowMemory::remember(*this, kGeometryKey);
        m_link.close();
        Q_EMIT quitRequested();
    });
    connect(m_ui->Command3, &QPushButton::clicked, this, &LoginWindow::startDaemonLogin);
    connect(m_ui->cmdServerList, &QPushButton::clicked, this, &LoginWindow::serverListRequested);
    connect(m_ui->actServerList, &QAction::triggered, this, &LoginWindow::serverListRequested);

    m_link.setCredentialsSource([this] {
        return DaemonLink::Credentials{m_ui->Text1->text(), m_ui->Text2->text(),
                                       m_ui->Combo1->currentText()};
    });
    // Left empty, the game server's address and port are the daemon's to tell.
    m_link.setServerAddressWanted(
        [this] { return m_ui->Text4->text().isEmpty() || m_ui->Text5->text().isEmpty(); });
    connect(&m_link, &DaemonLink::serverAddressSettled, this, &LoginWindow::takeServerAddress);
    connect(&m_link, &DaemonLink::statusChanged, m_ui->Label3, &QLabel::setText);
    connect(&m_link, &DaemonLink::loginSent, this, [this] { m_ui->Command1->setEnabled(true); });
    connect(&m_link, &DaemonLink::credentialsMissing, this, [this] {
        m_dialogs.message(QStringLiteral("Please enter both username, password and select level!"),
                          QStringLiteral("Login"), BoxIcon::Critical);
    });
    connect(&m_link, &DaemonLink::levelAnswered, this, &LoginWindow::DONELoad);
    connect(&m_link, &DaemonLink::rconPasswordReceived, this, &LoginWindow::rconPasswordArrived);
    connect(&m_link, &DaemonLink::logReceived, this, &LoginWindow::daemonLogArrived);
    connect(&m_link, &DaemonLink::noticeReceived, this, [this](const QString& text) {
        m_dialogs.message(text, QStringLiteral("GARRISON Daemon"), BoxIcon::Information);
    });
    connect(&m_link, &DaemonLink::refused, this, &LoginWindow::showRefusal);
    connect(&m_link, &DaemonLink::certificateUntrusted, this, &LoginWindow::askToTrust);
    connect(m_ui->ForgetCertificate, &QAction::triggered, this, &LoginWindow::forgetCertificate);
    connect(&m_link, &DaemonLink::linkLost, this, &LoginWindow::showLinkLost);
    connect(&m_link, &DaemonLink::linkFailed, this, [this](int number, const QString& description) {
        m_dialogs.message(QStringLiteral("An error has occured!\r\n") + description,
                          QStringLiteral("Error n:") + QString::number(number), BoxIcon::Critical);
    });
    for (QLineEdit* field : {m_ui->Text3, m_ui->Text9, m_ui->Text6, m_ui->Text4, m_ui->Text5,
                             m_ui->Text1, m_ui->Text2, m_ui->Text7}) {
        connect(field, &QLineEdit::returnPressed, this, &LoginWindow::enterPressed);
    }
    m_ui->Combo1->installEventFilter(this);

    const QList<QAction*> loads = loadItems();
    const QList<QAction*> saves = saveItems();
    for (int slot = 1; slot <= ConnectionProfiles::kSlots; ++slot) {
        loads[slot - 1]->setText(ConnectionProfiles::caption(slot));
        connect(loads[slot - 1], &QAction::triggered, this, [this, slot] { LoadProfile(slot); });
        connect(saves[slot - 1], &QAction::triggered, this, [this, slot] { SaveProfile(slot); });
    }

    selectRconMode();
    WindowMemory::restore(*this, kGeometryKey);

    SecretStore& secrets = SecretStore::instance();
    connect(&secrets, &SecretStore::keyringMissing, this, [this](const QString& reason) {
        m_ui->Label3->setText(QStringLiteral("No keyring (%1): saved passwords stay in the "
                                             "settings file, readable by you only.")
                                  .arg(reason));
    });
    secrets.migrate(SettingsStore::applicationName());
}

LoginWindow::~LoginWindow() = default;

// Enter in any field does what the window's main button does in the selected mode.
void LoginWindow::enterPressed()
{
    if (!isDaemonMode() && m_ui->Command1->isEnabled()) {
        DONELoad();
    } else if (isDaemonMode() && m_ui->Command3->isEnabled()) {
        startDaemonLogin();
    }
}

bool LoginWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->Combo1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            enterPressed();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void LoginWindow::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous()) {
        WindowMemory::remember(*this, kGeometryKey);
    }
    QMainWindow::hideEvent(event);
}

void LoginWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        applyFieldColours();
    }
}

// The order in which Tab visits the fields that the selected mode uses.
void LoginWindow::orderTabs(bool daemonMode)
{
    const QList<QWidget*> order =
        daemonMode
            ? QList<QWidget*>{m_ui->Text3,    m_ui->Text9,   m_ui->Text1,   m_ui->Text2,
                              m_ui->Combo1,   m_ui->Text4,   m_ui->Text5,   m_ui->Text7,
                              m_ui->Command3, m_ui->Option1, m_ui->Option2, m_ui->cmdServerList,
                              m_ui->Command2}
            : QList<QWidget*>{m_ui->Text4,   m_ui->Text5,         m_ui->Text6,
                              m_ui->Text7,   m_ui->Command1,      m_ui->Option1,
                              m_ui->Option2, m_ui->cmdServerList, m_ui->Command2};
    for (qsizetype i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

QList<QAction*> LoginWindow::loadItems() const
{
    return {m_ui->LoadServer1, m_ui->LoadServer2z, m_ui->LoadServer3z, m_ui->ls4, m_ui->ls5,
            m_ui->ls6,         m_ui->ls7,          m_ui->ls8,          m_ui->ls9, m_ui->ls10};
}

QList<QAction*> LoginWindow::saveItems() const
{
    return {m_ui->ss1, m_ui->ss2, m_ui->ss3, m_ui->ss4, m_ui->ss5,
            m_ui->ss6, m_ui->ss7, m_ui->ss8, m_ui->ss9, m_ui->ss10};
}

void LoginWindow::LoadProfile(int slot)
{
    const ProfileFields fields = ConnectionProfiles::load(slot);
    m_profileSlot = slot;
    m_ui->Text3->setText(fields.daemonAddress);
    m_ui->Text9->setText(fields.daemonPort);
    m_ui->Text1->setText(fields.userName);
    m_ui->Text2->setText(fields.password);
    m_ui->Text4->setText(fields.serverAddress);
    m_ui->Text6->setText(fields.rconPassword);
    m_ui->Text5->setText(fields.serverPort);
    m_ui->Text7->setText(fields.relayPort);
    // Passwords in the keyring come a moment later, unless another profile is loaded first.
    const int load = ++m_loads;
    for (const auto& secret : {std::pair{m_ui->Text2, QStringLiteral("Password")},
                               {m_ui->Text6, QStringLiteral("Pass")}}) {
        QLineEdit* field = secret.first;
        SecretStore::instance().read(SettingsStore::applicationName(),
                                     ConnectionProfiles::section(slot), secret.second, field,
                                     [this, field, load](const QString& password) {
                                         if (load == m_loads) {
                                             field->setText(password);
                                         }
                                     });
    }
    const int level =
        m_ui->Combo1->findText(fields.level, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (level >= 0 && !fields.level.isEmpty()) {
        m_ui->Combo1->setCurrentIndex(level);
    }
    if (fields.loginType == ConnectionProfiles::kDaemonType) {
        selectDaemonMode();
    } else if (fields.loginType == ConnectionProfiles::kRconType) {
        selectRconMode();
    }
}

void LoginWindow::SaveProfile(int slot)
{
    const QString name =
        m_dialogs.input(QStringLiteral("Please enter a name for the server"),
                        QStringLiteral("GARRISON - ADD SERVER"), QStringLiteral("New Server"));
    // The pin goes with the daemon's address; a slot that held another daemon loses its pin.
    const QString pin = DaemonPins::pinned(SettingsStore::applicationName(), m_profileSlot,
                                           m_ui->Text3->text(), m_ui->Text9->text());
    ConnectionProfiles::save(
        slot,
        {m_ui->Text3->text(), m_ui->Text9->text(), m_ui->Text1->text(), m_ui->Text2->text(),
         m_ui->Text4->text(), m_ui->Text6->text(), m_ui->Text5->text(), m_ui->Text7->text(),
         m_ui->Combo1->currentText(),
         isDaemonMode() ? ConnectionProfiles::kDaemonType : ConnectionProfiles::kRconType},
        name);
    SettingsStore::write(ConnectionProfiles::section(slot), DaemonPins::kProfileKey, pin);
    m_profileSlot = slot;
    Q_EMIT profileSaved(slot);
}

// The passwords may be in the keyring, which answers later: the way to log in is chosen, and
// the login made, once both are in the fields.
void LoginWindow::loginWithProfile(int slot)
{
    LoadProfile(slot);
    const int load = m_loads;
    const QString application = SettingsStore::applicationName();
    const QString section = ConnectionProfiles::section(slot);
    SecretStore::instance().read(application, section, QStringLiteral("Password"), this,
                                 [this, slot, load, application, section](const QString& password) {
                                     SecretStore::instance().read(
                                         application, section, QStringLiteral("Pass"), this,
                                         [this, slot, load, password](const QString& rconPassword) {
                                             if (load != m_loads) {
                                                 return;
                                             }
                                             m_ui->Text2->setText(password);
                                             m_ui->Text6->setText(rconPassword);
                                             ProfileFields fields = ConnectionProfiles::load(slot);
                                             fields.rconPassword = rconPassword;
                                             logInAs(ConnectionProfiles::loginOf(fields));
                                         });
                                 });
}

void LoginWindow::logInAs(ConnectionProfiles::Login login)
{
    switch (login) {
    case ConnectionProfiles::Login::Direct:
        selectRconMode();
        m_ui->Command1->click();
        break;
    case ConnectionProfiles::Login::Daemon:
        selectDaemonMode();
        m_ui->Command3->click();
        break;
    case ConnectionProfiles::Login::PasswordMissing:
        selectRconMode();
        m_ui->Text6->setFocus();
        break;
    }
}

void LoginWindow::fillServer(const QString& host, const QString& port)
{
    selectRconMode();
    m_ui->Text4->setText(host);
    m_ui->Text5->setText(port);
    m_ui->Text6->clear();
    m_ui->Text6->setFocus();
}

// What the daemon told fills only what the user left empty; an address it leaves empty is its
// own. The relay's ini file takes the server as the session will use it.
void LoginWindow::takeServerAddress()
{
    const std::optional<DaemonReceiver::ServerAddress>& answer = m_link.serverAddress();
    if (!answer) {
        return;
    }
    if (m_ui->Text4->text().isEmpty()) {
        m_ui->Text4->setText(answer->address.isEmpty() ? m_ui->Text3->text().trimmed()
                                                       : answer->address);
    }
    if (m_ui->Text5->text().isEmpty()) {
        m_ui->Text5->setText(answer->port);
    }
    UCONLoad();
}

QString LoginWindow::serverHost() const
{
    return m_ui->Text4->text();
}

QString LoginWindow::serverPort() const
{
    return m_ui->Text5->text();
}

void LoginWindow::setFieldEnabled(QWidget* field, bool enabled)
{
    field->setEnabled(enabled);
    // White fields on a dark desktop would carry light text; there they take the desktop's base.
    const QColor background = !enabled ? palette().color(QPalette::Button)
                              : ReadableColours::isDark(palette())
                                  ? palette().color(QPalette::Active, QPalette::Base)
                                  : QColor(255, 255, 255);
    QPalette fieldPalette = field->palette();
    fieldPalette.setColor(QPalette::Active, QPalette::Base, background);
    fieldPalette.setColor(QPalette::Inactive, QPalette::Base, background);
    fieldPalette.setColor(QPalette::Disabled, QPalette::Base, background);
    field->setPalette(fieldPalette);
}

void LoginWindow::applyFieldColours()
{
    for (QWidget* field : {static_cast<QWidget*>(m_ui->Text1), static_cast<QWidget*>(m_ui->Text2),
                           static_cast<QWidget*>(m_ui->Text3), static_cast<QWidget*>(m_ui->Text4),
                           static_cast<QWidget*>(m_ui->Text5), static_cast<QWidget*>(m_ui->Text6),
                           static_cast<QWidget*>(m_ui->Text7), static_cast<QWidget*>(m_ui->Text9),
                           static_cast<QWidget*>(m_ui->Combo1)}) {
        setFieldEnabled(field, field->isEnabled());
    }
}

void LoginWindow::selectDaemonMode()
{
    m_ui->Option1->setChecked(true);
    setFieldEnabled(m_ui->Text6, false);
    for (QWidget* field : {static_cast<QWidget*>(m_ui->Text1), static_cast<QWidget*>(m_ui->Text2),
                           static_cast<QWidget*>(m_ui->Text9), static_cast<QWidget*>(m_ui->Text3),
                           static_cast<QWidget*>(m_ui->Combo1)}) {
        setFieldEnabled(field, true);
    }
    orderTabs(true);
    m_ui->Text3->setFocus();
    m_ui->Command3->setEnabled(true);
    m_ui->Command1->setEnabled(false);
}

void LoginWindow::selectRconMode()
{
    m_ui->Option2->setChecked(true);
    for (QWidget* field : {static_cast<QWidget*>(m_ui->Text1), static_cast<QWidget*>(m_ui->Text2),
                           static_cast<QWidget*>(m_ui->Text9), static_cast<QWidget*>(m_ui->Text3),
                           static_cast<QWidget*>(m_ui->Combo1)}) {
        setFieldEnabled(field, false);
    }
    setFieldEnabled(m_ui->Text6, true);
    for (QWidget* field : {m_ui->Text4, m_ui->Text5, m_ui->Text7}) {
        setFieldEnabled(field, true);
    }
    orderTabs(false);
    m_ui->Text4->setFocus();
    m_ui->Command1->setEnabled(true);
    m_ui->Command3->setEnabled(false);
}

bool LoginWindow::isDaemonMode() const
{
    return m_ui->Option1->isChecked();
}

QString LoginWindow::userName() const
{
    return m_ui->Text1->text();
}

void LoginWindow::setLocalAddressSource(std::function<QString()> source)
{
    m_localAddress = std::move(source);
}

void LoginWindow::UCONLoad()
{
    const UconIdentity identity = UconIdentity::forAddress(
        m_localAddress(), UconPassword::obtain(SettingsStore::applicationName()));
    Q_EMIT uconIdentityPrepared(identity);
    UconIni::write(AppFolder::path(), UconIni::text(m_ui->Text4->text(), m_ui->Text5->text(),
                                                    m_ui->Text7->text(), identity));
}

void LoginWindow::DONELoad()
{
    UCONLoad();
    if (isDaemonMode()) {
        grantOrDeny();
        return;
    }
    const QString host = m_ui->Text4->text();
    const QString port = m_ui->Text5->text();
    const QString password = m_ui->Text6->text();
    if (host.isEmpty() || port.isEmpty() || m_ui->Text7->text().isEmpty() || password.isEmpty()) {
        m_dialogs.message(
            QStringLiteral("Please type Server IP , Port , UCON Port and Rcon password"),
            kProgramCaption, BoxIcon::Information);
        return;
    }
    Q_EMIT directLoginRequested(host, port, password);
}

} // namespace garrison

namespace garrison {

void LoginWindow::startDaemonLogin()
{
    if (m_ui->Text3->text().isEmpty() || m_ui->Text9->text().isEmpty()) {
        m_dialogs.message(QStringLiteral("Please set your GARRISON Daemon IP and Port"),
                          kProgramCaption, BoxIcon::Information);
        return;
    }
    m_link.login(m_ui->Text3->text(), m_ui->Text9->text(),
                 DaemonPins::pinned(SettingsStore::applicationName(), m_profileSlot,
                                    m_ui->Text3->text(), m_ui->Text9->text()));
}

// Trust on first use, as SSH does: the administrator compares what the daemon shows with what
// garrisond prints on the server. A certificate other than the trusted one is refused; only a
// deliberate "Forget" lets the next Login ask again.
void LoginWindow::askToTrust(const QString& presented, const QString& pinned)
{
    const QString daemon =
        m_ui->Text3->text().trimmed() + QLatin1Char(':') + m_ui->Text9->text().trimmed();
    if (!pinned.isEmpty()) {
        m_dialogs.message(
            QStringLiteral("The daemon at %1 shows another certificate than the one you "
                           "trusted, so GARRISON did not log in: someone may be posing as the "
                           "daemon.\r\n\r\nTrusted:     SHA-256 %2\r\nShown now: SHA-256 %3"
                           "\r\n\r\nIf the daemon's administrator made a new certificate, "
                           "compare it with what \"garrisond --show-fingerprint\" prints on the "
                           "server, choose \"Forget the Daemon's Certificate\" in the Daemon "
                           "menu and log in again.")
                .arg(daemon, pinned, presented),
            kProgramCaption, BoxIcon::Critical);
        return;
    }
    const BoxAnswer answer = m_dialogs.message(
        QStringLiteral("GARRISON does not know the daemon at %1 yet. Its certificate has the "
                       "fingerprint\r\n\r\nSHA-256 %2\r\n\r\nCompare it with what "
                       "\"garrisond --show-fingerprint\" prints on the server. Only if they are "
                       "the same, trust this certificate and log in?")
            .arg(daemon, presented),
        kProgramCaption, BoxIcon::Question, BoxButtons::YesNo);
    if (answer != BoxAnswer::Yes) {
        return;
    }
    DaemonPins::pin(SettingsStore::applicationName(), m_profileSlot, m_ui->Text3->text(),
                    m_ui->Text9->text(), presented);
    startDaemonLogin();
}

void LoginWindow::forgetCertificate()
{
    DaemonPins::forget(SettingsStore::applicationName(), m_profileSlot, m_ui->Text3->text(),
                       m_ui->Text9->text());
    m_ui->Label3->setText(QStringLiteral("The daemon's certificate is forgotten: the next Login "
                                         "shows it and asks."));
}

void LoginWindow::grantOrDeny()
{
    const QString level = m_link.statusz();
    if (level == QLatin1String("poweradmin") || level == QLatin1String("admin") ||
        level == QLatin1String("mp")) {
        // The RCON password normally arrives while this box is open.
        m_dialogs.message(QStringLiteral("Access Granted to ") + userName() +
                              QStringLiteral(" as ") + level,
                          kProgramCaption, BoxIcon::None);
        // A link lost while the box was open has ended the session already.
        if (!m_link.isConnected()) {
            return;
        }
        Q_EMIT daemonAccessGranted(level, m_ui->Text3->text(), m_ui->Text4->text(),
                                   m_ui->Text5->text());
        return;
    }
    denyAccess(kCheckCredentials);
}

void LoginWindow::denyAccess(const QString& advice)
{
    m_ui->Command1->setEnabled(false);
    m_dialogs.message(QStringLiteral("Access Denied to ") + userName() + QStringLiteral(" : ") +
                          advice,
                      kProgramCaption, BoxIcon::None);
}

void LoginWindow::showLinkLost()
{
    // A daemon that hangs up right after a refusal has said why in the refusal's box.
    if (m_link.lastRefusal().isEmpty()) {
        m_dialogs.message(QStringLiteral("GARRISON lost connection with the daemon!\r\n"
                                         "Please wait a few seconds and reconnect again!"),
                          kProgramCaption, BoxIcon::Critical);
    }
    m_link.close();
    // Nothing is granted any more: a session needs a new login.
    m_ui->Command1->setEnabled(false);
    Q_EMIT daemonLinkLost();
}

void LoginWindow::showRefusal(const QString& reason, bool inSession)
{
    if (inSession) {
        m_dialogs.message(reason, QStringLiteral("GARRISON Daemon"), BoxIcon::Critical);
        return;
    }
    denyAccess(reason == kWrongCredentials ? kCheckCredentials : reason);
}

} // namespace garrison
