#include "ToolsMenu.h"

#include "platform/DesktopShell.h"

#include <QMenu>

namespace garrison {

ToolsMenu::ToolsMenu(QObject* parent)
    : QObject(parent), m_openPage([](const QString& page) { DesktopShell::openPage(page); }),
      m_menu(std::make_unique<QMenu>(QStringLiteral("Tools")))
{
    m_menu->setObjectName(QStringLiteral("toolsz"));

    // Switched off for good, separator included: nothing turns them on.
    addEntry("setupserverforpbbansz", QStringLiteral("Setup Server for PBBans"))->setEnabled(false);
    addEntry("setupserverforpunksbustedz", QStringLiteral("Setup Server for PunksBusted"))
        ->setEnabled(false);
    QAction* offSeparator = m_menu->addSeparator();
    offSeparator->setObjectName(QStringLiteral("setofewfefz"));
    offSeparator->setEnabled(false);
    addEntry("addnewusertodaemonz", QStringLiteral("Add New User to Daemon"))->setEnabled(false);
    addEntry("changerconpasswordindaemonz", QStringLiteral("Change Rcon Password in Daemon"))
        ->setEnabled(false);
    m_menu->addSeparator()->setObjectName(QStringLiteral("setpfz"));
    m_banList = addEntry("banlistz", QStringLiteral("Ban List…"));
    m_menu->addSeparator()->setObjectName(QStringLiteral("banlistsep"));

    connect(addEntry("websitez", QStringLiteral("Visit GARRISON Website")), &QAction::triggered,
            this, [this] { m_openPage(kHomePage); });
    connect(addEntry("aboutz", QStringLiteral("Support GARRISON with a Donation")),
            &QAction::triggered, this, [this] { m_openPage(kDonationPage); });
}

ToolsMenu::~ToolsMenu() = default;

QAction* ToolsMenu::addEntry(const char* name, const QString& caption)
{
    QAction* entry = m_menu->addAction(caption);
    entry->setObjectName(QLatin1String(name));
    return entry;
}

QAction* ToolsMenu::entry(const QString& name) const
{
    return m_menu->findChild<QAction*>(name);
}

bool ToolsMenu::labelClicked(Qt::MouseButton button, const QPoint& globalPosition)
{
    if (button != Qt::LeftButton) {
        return false;
    }
    m_menu->popup(globalPosition);
    return true;
}

} // namespace garrison
