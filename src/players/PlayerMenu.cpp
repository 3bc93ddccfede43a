#include "PlayerMenu.h"

#include "platform/Dialogs.h"
#include "platform/TextViewer.h"
#include "players/PlayerCommands.h"
#include "rcon/CommandSender.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

namespace garrison {

PlayerMenu::PlayerMenu(QAbstractItemView& grid, CommandSender& sender, Dialogs& dialogs,
                       TextViewer& reader, QObject* parent)
    : QObject(parent), m_grid(grid), m_sender(sender), m_dialogs(dialogs), m_reader(reader),
      m_clock([] { return QDateTime::currentDateTime(); }),
      m_menu(std::make_unique<QMenu>(QStringLiteral("Menu")))
{
    m_menu->setObjectName(QStringLiteral("menuz"));
    build();
    m_viewport = m_grid.viewport();
    m_viewport->installEventFilter(this);
    m_grid.installEventFilter(this);
}

PlayerMenu::~PlayerMenu() = default;

void PlayerMenu::build()
{
    QMenu& menu = *m_menu;
    addEntry(menu, "createplayerreportz", QStringLiteral("Create Player Report"),
             [this](const PlayerCommands& player) { m_reader.showText(player.report(m_clock())); });

    QMenu* copy = addSubmenu(menu, "copyaxz", QStringLiteral("Copy"));
    addEntry(*copy, "copynamez", QStringLiteral("Copy Name"), [this](const PlayerCommands& player) {
        copyToClipboard(tr("name"), player.cell(PlayerCommands::Name));
    });
    addEntry(*copy, "copyhash", QStringLiteral("Copy Hash"), [this](const PlayerCommands& player) {
        copyToClipboard(tr("hash"), player.cell(PlayerCommands::Guid));
    });
    addEntry(*copy, "copyipz", QStringLiteral("Copy IP"), [this](const PlayerCommands& player) {
        copyToClipboard(tr("address"), player.cell(PlayerCommands::Address));
    });
    addSeparator(menu, "asds");

    addEntry(menu, "warnplayerz", QStringLiteral("Warn Player"),
             [this](const PlayerCommands& player) {
                 Q_EMIT warnRequested(player.cell(PlayerCommands::Slot));
             });
    // Switched off for good: the user cannot choose these, and they do nothing.
    QMenu* check = addSubmenu(menu, "checkplayerz", QStringLiteral("Check Player"));
    addEntry(*check, "checkonpunksbusted", QStringLiteral("Check on Punksbusted"), nullptr);
    addEntry(*check, "checkonpbbansz", QStringLiteral("Check on PBBans"), nullptr);
    check->menuAction()->setEnabled(false);

    const auto send = [this](QString (PlayerCommands::*command)() const) {
        return [this, command](const PlayerCommands& player) {
            const QString line = (player.*command)();
            m_sender.Send(line);
            Q_EMIT playerActed(player.cells(), line, QString());
        };
    };

    QMenu* kick = addSubmenu(menu, "kickxxx", QStringLiteral("Kick"));
    addEntry(*kick, "kickplay", QStringLiteral("Kick Player"), send(&PlayerCommands::kickPlayer));
    addEntry(*kick, "clientkick", QStringLiteral("Client Kick Player"),
             send(&PlayerCommands::clientKick));
    addEntry(*kick, "pbkickwithreason", QStringLiteral("Punkbuster Kick with reason"),
             [this](const PlayerCommands& player) { sendWithReasons(player, false); });

    QMenu* ban = addSubmenu(menu, "banp", QStringLiteral("Ban Player"));
    addEntry(*ban, "banplayerz", QStringLiteral("Ban Player"), send(&PlayerCommands::banPlayer));
    addEntry(*ban, "clientbanz", QStringLiteral("Ban Player by Client "),
             send(&PlayerCommands::clientBan));
    addEntry(*ban, "pbbancli", QStringLiteral("Punkbuster Ban with reason"),
             [this](const PlayerCommands& player) { sendWithReasons(player, true); });
    addSeparator(*ban, "sdsd");
    addEntry(*ban, "tempbanplayerz", QStringLiteral("Temporarily Player Ban"),
             send(&PlayerCommands::tempBanPlayer));
    addEntry(*ban, "TemporarilyClientBanz", QStringLiteral("Temporarily Client Ban"),
             send(&PlayerCommands::tempBanClient));
    addSeparator(*ban, "sdsdsdsd");
    addEntry(*ban, "unbanplayerz", QStringLiteral("Unban Player"),
             send(&PlayerCommands::unbanPlayer));
    addSeparator(*ban, "banwithreasonsep");
    addEntry(
        *ban, "banwithreasonz", QStringLiteral("Ban with reason…"),
        [this](const PlayerCommands& player) { Q_EMIT banWithReasonRequested(player.cells()); });
    addSeparator(menu, "xaprtsd");

    addEntry(menu, "screenshotp", QStringLiteral("Screenshot Player"),
             send(&PlayerCommands::screenshot));
    addEntry(menu, "screenshotdwuencez", QStringLiteral("Screenshot Sequence"),
             send(&PlayerCommands::screenshotSequence));
    addSeparator(menu, "historysep");
    addEntry(menu, "historyz", QStringLiteral("History…"),
             [this](const PlayerCommands& player) { Q_EMIT historyRequested(player.cells()); });
}

QAction* PlayerMenu::addEntry(QMenu& menu, const char* name, const QString& caption,
                              std::function<void(const PlayerCommands&)> action)
{
    QAction* entry = menu.addAction(caption);
    entry->setObjectName(QLatin1String(name));
    if (!action) {
        entry->setEnabled(false);
        return entry;
    }
    connect(entry, &QAction::triggered, this, [this, action = std::move(action)] {
        // The row is read when the entry is chosen, before any reason box opens.
        action(PlayerCommands(currentCells()));
    });
    return entry;
}

QMenu* PlayerMenu::addSubmenu(QMenu& menu, const char* name, const QString& caption)
{
    QMenu* submenu = menu.addMenu(caption);
    submenu->setObjectName(QLatin1String(name));
    submenu->menuAction()->setObjectName(QLatin1String(name));
    return submenu;
}

void PlayerMenu::addSeparator(QMenu& menu, const char* name)
{
    menu.addSeparator()->setObjectName(QLatin1String(name));
}

void PlayerMenu::sendWithReasons(const PlayerCommands& player, bool ban)
{
    const PlayerCommands::ReasonQuestions& questions =
        ban ? PlayerCommands::banReasons() : PlayerCommands::kickReasons();
    // A cancelled box gives an empty reason; the command goes out all the same.
    const QString publicReason = m_dialogs.input(
        questions.publicReason.prompt, questions.publicReason.title, questions.publicReason.preset);
    const QString privateReason =
        m_dialogs.input(questions.privateReason.prompt, questions.privateReason.title,
                        questions.privateReason.preset);
    const QString line = ban ? player.punkBusterBan(publicReason, privateReason)
                             : player.punkBusterKick(publicReason, privateReason);
    m_sender.Send(line);
    Q_EMIT playerActed(player.cells(), line, publicReason + QStringLiteral(" / ") + privateReason);
}

void PlayerMenu::copyToClipboard(const QString& what, const QString& text)
{
    if (text.isEmpty()) {
        Q_EMIT statusMessage(tr("Nothing to copy: the selected row has no %1.").arg(what));
        return;
    }
    QGuiApplication::clipboard()->setText(text);
    Q_EMIT statusMessage(tr("Copied the %1 to the clipboard: %2").arg(what, text));
}

void PlayerMenu::startSession()
{
    m_menu->close();
}

QAction* PlayerMenu::entry(const QString& name) const
{
    return m_menu->findChild<QAction*>(name);
}

QStringList PlayerMenu::currentCells() const
{
    QStringList cells;
    const QAbstractItemModel* model = m_grid.model();
    const int row = m_grid.currentIndex().row();
    for (int column = 0; column < PlayerCommands::ColumnCount; ++column) {
        if (!model || row < 0 || row >= model->rowCount() || column >= model->columnCount()) {
            cells.append(QString());
            continue;
        }
        cells.append(model->index(row, column).data().toString());
    }
    return cells;
}

bool PlayerMenu::mousePressed(Qt::MouseButtons buttons, const QPoint& globalPosition)
{
    if (buttons != Qt::RightButton) {
        return false;
    }
    m_menu->popup(globalPosition);
    return true;
}

// The keyboard's way to the menu, at the current row: the Menu key, or Shift+F10.
void PlayerMenu::popUpAtCurrentRow()
{
    if (m_menu->isVisible()) {
        return;
    }
    const QRect cell = m_grid.visualRect(m_grid.currentIndex());
    const QPoint at = cell.isValid() ? cell.bottomLeft() : QPoint(0, 0);
    m_menu->popup(m_viewport->mapToGlobal(at));
}

bool PlayerMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_grid && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Menu ||
            (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
            popUpAtCurrentRow();
            return true;
        }
    }
    if (watched == &m_grid && event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        popUpAtCurrentRow();
        return true;
    }
    // The viewport is compared by the pointer kept at construction: while the window is torn
    // down the grid is no longer a view, and asking it for its viewport would be undefined.
    if (event->type() == QEvent::MouseButtonPress && watched == m_viewport) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        mousePressed(mouse->buttons(), mouse->globalPosition().toPoint());
    }
    // The grid still handles the press, so the row under the mouse becomes current.
    return QObject::eventFilter(watched, event);
}

} // namespace garrison
