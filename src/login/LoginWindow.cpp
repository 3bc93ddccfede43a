#include "LoginWindow.h"

#include "platform/AppFolder.h"
#include "platform/Dialogs.h"
#include "platform/LocalAddress.h"
#include "ui_LoginWindow.h"

namespace garrison {

LoginWindow::LoginWindow(Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::LoginWindow>()), m_dialogs(dialogs),
      m_localAddress(&localIpAddress)
{
    m_ui->setupUi(this);
    m_ui->Combo1->setCurrentIndex(-1);

    connect(m_ui->Option1, &QRadioButton::clicked, this, &LoginWindow::selectDaemonMode);
    connect(m_ui->Option2, &QRadioButton::clicked, this, &LoginWindow::selectRconMode);
    connect(m_ui->Command1, &QPushButton::clicked, this, &LoginWindow::DONELoad);
    connect(m_ui->Command2, &QPushButton::clicked, this, &LoginWindow::quitRequested);
    for (QLineEdit* field : {m_ui->Text4, m_ui->Text5, m_ui->Text6, m_ui->Text7}) {
        connect(field, &QLineEdit::returnPressed, this, [this] {
            if (m_ui->Command1->isEnabled()) {
                DONELoad();
            }
        });
    }

    selectRconMode();
}

LoginWindow::~LoginWindow() = default;

void LoginWindow::setFieldEnabled(QWidget* field, bool enabled)
{
    field->setEnabled(enabled);
    QPalette palette = field->palette();
    const QColor background = enabled ? QColor(255, 255, 255) : palette.color(QPalette::Button);
    palette.setColor(QPalette::Active, QPalette::Base, background);
    palette.setColor(QPalette::Inactive, QPalette::Base, background);
    palette.setColor(QPalette::Disabled, QPalette::Base, background);
    field->setPalette(palette);
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
    const UconIdentity identity = UconIdentity::forAddress(m_localAddress());
    Q_EMIT uconIdentityPrepared(identity);
    UconIni::write(AppFolder::path(), UconIni::text(m_ui->Text4->text(), m_ui->Text5->text(),
                                                    m_ui->Text7->text(), identity));
}

void LoginWindow::DONELoad()
{
    UCONLoad();
    if (isDaemonMode()) {
        return; // the daemon's access check arrives with the daemon link
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
