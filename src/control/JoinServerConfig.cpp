#include "JoinServerConfig.h"

#include "platform/Dialogs.h"
#include "platform/HostSystem.h"
#include "platform/SettingsStore.h"
#include "ui_JoinServerConfig.h"

#include <QDir>
#include <QShortcut>

namespace garrison {

namespace {
const QString kSection = QStringLiteral("[Configs]");
} // namespace

JoinServerConfig::JoinServerConfig(Dialogs& dialogs, const QString& path, const QString& password,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::JoinServerConfig>()),
      m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_ui->Text1->setText(path);
    m_ui->Text2->setText(password);

    connect(m_ui->Command1, &QPushButton::clicked, this, [this] {
        m_ui->Text1->setText(
            Select_File(QStringLiteral("Select the codwaw.exe"), QStringLiteral("exe")));
    });
    connect(m_ui->Command2, &QPushButton::clicked, this, &JoinServerConfig::save);
    connect(m_ui->Command3, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ui->Text1, &QLineEdit::returnPressed, this, &JoinServerConfig::save);
    connect(m_ui->Text2, &QLineEdit::returnPressed, this, &JoinServerConfig::save);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &QWidget::close);
}

JoinServerConfig::~JoinServerConfig() = default;

QString JoinServerConfig::Select_File(const QString& Desc, const QString& flType)
{
    const QString pattern = QStringLiteral("*.") + flType;
    QString filter = QStringLiteral("File Type (") + pattern + QLatin1Char(')');
    if (!HostSystem::programsCarrySuffix()) {
        // Programs here rarely carry a suffix, and the game may be started through a script.
        filter += QStringLiteral(";;All files (*)");
    }
    return m_dialogs.openFile(Desc, QDir::currentPath(), filter);
}

void JoinServerConfig::save()
{
    const QString path = m_ui->Text1->text();
    const QString password = m_ui->Text2->text();
    SettingsStore::write(kSection, QStringLiteral("Path"), path);
    SettingsStore::write(kSection, QStringLiteral("ServerPass"), password);
    Q_EMIT saved(path, password);
    close();
}

} // namespace garrison
