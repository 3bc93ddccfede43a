#include "PlayerActions.h"

#include "app/ReaderWindow.h"
#include "app/TellWindow.h"
#include "bans/BanDialog.h"
#include "bans/BanSource.h"
#include "history/History.h"
#include "history/HistoryQueries.h"
#include "platform/Dialogs.h"
#include "players/GameColours.h"
#include "players/PlayerCommands.h"
#include "players/PlayerMenu.h"
#include "players/PlayerSortModel.h"
#include "players/PlayersPage.h"
#include "session/ServerSession.h"

#include <QTableView>

namespace garrison {

PlayerActions::PlayerActions(PlayersPage& page, ServerSession& session, History& history,
                             Dialogs& dialogs, ReaderWindow& reader, QWidget* window)
    : QObject(window), m_session(session), m_history(history), m_dialogs(dialogs), m_window(window),
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
    connect(m_playerMenu.get(), &PlayerMenu::banWithReasonRequested, this,
            &PlayerActions::banWithReason);
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

void PlayerActions::banWithReason(const QStringList& cells)
{
    const PlayerCommands player(cells);
    if (player.trimmedSlot().isEmpty()) {
        return;
    }
    BanSource* source = m_session.banSource();
    if (!source) {
        m_dialogs.message(tr("This session has no ban list to record the ban in; nothing was "
                             "sent."),
                          tr("Ban with reason"), BoxIcon::Warning);
        return;
    }
    BanRecord preset;
    const QString name = player.cell(PlayerCommands::Name);
    preset.names = QStringList{name};
    // Bots and players not yet vouched for print no guid: the address stands in.
    if (const std::optional<QString> guid =
            BanRecord::normalisedGuid(player.cell(PlayerCommands::Guid));
        guid && *guid != QLatin1String("0")) {
        preset.guid = *guid;
    } else {
        const QString address = player.cell(PlayerCommands::Address).trimmed();
        BanRecord::parseAddress(address.left(address.lastIndexOf(QLatin1Char(':'))),
                                &preset.address, &preset.prefixLength);
    }
    if (preset.guid.isEmpty() && preset.address.isEmpty()) {
        m_dialogs.message(
            tr("%1 has neither a guid nor an address to ban.").arg(GameColours::shownText(name)),
            tr("Ban with reason"), BoxIcon::Warning);
        return;
    }
    BanDialog dialog(BanDialog::Mode::BanPlayer, preset, m_session.serverKey(), m_window);
    dialog.offerReasonsOf(*source);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    std::optional<BanRecord> ban = dialog.ban(QDateTime::currentDateTimeUtc());
    if (!ban || m_dialogs.message(tr("Ban %1 and kick him now?\r\nReason: %2")
                                      .arg(GameColours::shownText(name), ban->reason.left(200)),
                                  tr("Ban with reason"), BoxIcon::Question,
                                  BoxButtons::YesNo) != BoxAnswer::Yes) {
        return;
    }
    // The session may have moved on while the boxes were open.
    if (m_session.banSource() != source) {
        return;
    }
    ban->issuedBy = m_session.actor();
    const QString kick = player.clientKick();
    m_session.Send(kick);
    m_session.recordAction(cells, kick, ban->reason);
    source->add(*ban);
}

} // namespace garrison
