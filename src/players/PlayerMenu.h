#pragma once

#include <QDateTime>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

class QAbstractItemView;
class QAction;
class QMenu;

namespace garrison {

class CommandSender;
class Dialogs;
class PlayerCommands;
class TextViewer;

// The player menu menuz on the player grid: a right button press pops it up (the Menu key and
// Shift+F10 at the current row), and each entry
// acts on the grid's current row at the moment it is chosen, in whatever order the grid shows
// its rows. The copy entries put their text on the clipboard; the report opens in the reader.
// Entries are QActions named as the menu's controls ("kickplay", "copyhash", ...), so they can be
// found and triggered.
class PlayerMenu : public QObject {
    Q_OBJECT

public:
    PlayerMenu(QAbstractItemView& grid, CommandSender& sender, Dialogs& dialogs, TextViewer& reader,
               QObject* parent = nullptr);
    ~PlayerMenu() override;

    QMenu& menuz() { return *m_menu; }
    // The entry, submenu entry or separator of that name; nullptr when there is none.
    QAction* entry(const QString& name) const;

    // Pops the menu up at the position when the right button alone is down; true if it did.
    bool mousePressed(Qt::MouseButtons buttons, const QPoint& globalPosition);

    // A new session: a menu still open for the previous server's player closes.
    void startSession();

    // The six cells of the current row; empty texts when no row is current.
    QStringList currentCells() const;

    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

Q_SIGNALS:
    // "Warn Player": the tell window should open for this slot, as the grid shows it.
    void warnRequested(const QString& slot);
    // A copy entry put its text on the clipboard (or found nothing to copy).
    void statusMessage(const QString& text);
    // A command about the player in these cells went out (for the player history).
    void playerActed(const QStringList& cells, const QString& command, const QString& reason);
    // "History…": the History page should show this player.
    void historyRequested(const QStringList& cells);
    // "Ban with reason…": the ban dialog should open for the player in these cells.
    void banWithReasonRequested(const QStringList& cells);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void popUpAtCurrentRow();
    QAction* addEntry(QMenu& menu, const char* name, const QString& caption,
                      std::function<void(const PlayerCommands&)> action);
    QMenu* addSubmenu(QMenu& menu, const char* name, const QString& caption);
    void addSeparator(QMenu& menu, const char* name);
    void sendWithReasons(const PlayerCommands& player, bool ban);
    void copyToClipboard(const QString& what, const QString& text);

    QAbstractItemView& m_grid;
    QPointer<QWidget> m_viewport;
    CommandSender& m_sender;
    Dialogs& m_dialogs;
    TextViewer& m_reader;
    std::function<QDateTime()> m_clock;
    const std::unique_ptr<QMenu> m_menu;
};

} // namespace garrison
