#include "PlayerActions.h"

#include "app/ReaderWindow.h"
#include "app/TellWindow.h"
#include "history/History.h"
#include "history/HistoryQueries.h"
#include "players/PlayerMenu.h"
#include "players/PlayerSortModel.h"
#include "players/PlayersPage.h"
#include "session/ServerSession.h"

#include <QTableView>

namespace garrison {

PlayerActions::PlayerActions(PlayersPage& page, ServerSession& session, History& history,
                             Dialogs& dialogs, ReaderWindow& reader, QWidget* window)
    : QObject(window), m_session(session), m_history(history),
      m_tell(std::make_unique<TellWindow>(session)),
      m_playerMenu(std::make_unique<PlayerMenu>(page.grid(), session, dialogs, reader))
{
    connect(m_playerMenu.get(), &PlayerMenu::warnRequested, this,
            [this] { m_warnedCells = m_playerMenu->currentCells(); });
    connect(m_playerMenu.get(), &PlayerMenu::warnRequested, m_tell.get(), &TellWindow::warn);
    connect(m_playerMenu.get(), &PlayerMenu::statusMessage, this, &PlayerActions::statusMessage);
    connect(m_playerMenu.get(), &PlayerMenu::playerActed, &m_session, &ServerSession::recordAction);
    connect(m_playerMenu.get(), &PlayerMenu::historyRequested, this,
            &PlayerActions::historyRequested);
    connect(m_tell.get(), &TellWindow::messageSent, this,
            [this](const QString& slot, const QString& message) {
                m_session.recordAction(m_warnedCells,
                                       QStringLiteral("tell ") + slot + QLatin1Char(' ') + message,
                                       message);
            });
    page.sortModel().setNameNote([this](const QStringList& cells) {
        PlayerRow row;
        for (int column = 0; column < PlayerRow::ColumnCount; ++column) {
            row[column] = cells.value(column);
        }
        return historyText(row);
    });
}

PlayerActions::~PlayerActions() = default;

void PlayerActions::startSession()
{
    m_playerMenu->startSession();
    m_warnedCells.clear();
    m_tell->startSession();
}

QString PlayerActions::historyText(const PlayerRow& row) const
{
    const HistoryQueries* queries = m_history.queries();
    return queries ? queries->tooltipText(m_session.serverKey(), row[PlayerRow::Guid],
                                          row[PlayerRow::Name])
                   : QString();
}

} // namespace garrison
