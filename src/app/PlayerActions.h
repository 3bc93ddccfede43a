#pragma once

#include "rcon/PlayerRow.h"

#include <QObject>
#include <QStringList>
#include <memory>

class QWidget;

namespace garrison {

class Dialogs;
class History;
class PlayerMenu;
class PlayersPage;
class ReaderWindow;
class ServerSession;
class TellWindow;

// What a main window does to the players of its grid: the player menu on a row, the tell window
// of its warning, each action's record in the player history, and the history's note on a
// name's tool tip.
class PlayerActions : public QObject {
    Q_OBJECT

public:
    PlayerActions(PlayersPage& page, ServerSession& session, History& history, Dialogs& dialogs,
                  ReaderWindow& reader, QWidget* window);
    ~PlayerActions() override;

    // Menus closed, no tell window, no player chosen for a warning.
    void startSession();

    PlayerMenu& playerMenu() { return *m_playerMenu; }
    TellWindow& tellWindow() { return *m_tell; }
    // What the history knows of a grid row's player; empty if nothing.
    QString historyText(const PlayerRow& row) const;
    // "Ban with reason…" for the player in these cells: the dialog, the confirmation, the
    // kick and the ban's record.
    void banWithReason(const QStringList& cells);

Q_SIGNALS:
    void statusMessage(const QString& text);
    void historyRequested(const QStringList& cells);

private:
    ServerSession& m_session;
    History& m_history;
    Dialogs& m_dialogs;
    QWidget* m_window;
    std::unique_ptr<TellWindow> m_tell;
    std::unique_ptr<PlayerMenu> m_playerMenu;
    // The player of the warning that the tell window sends.
    QStringList m_warnedCells;
};

} // namespace garrison
