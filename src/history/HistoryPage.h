#pragma once

#include "bans/BanRecord.h"
#include "history/HistoryTypes.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class HistoryPage;
}

namespace garrison {

class Dialogs;
class History;
class PlayerCountChart;

// The History page: search as you type, one player's record with notes, the player count of
// the current server as a chart, CSV export, and where the history is kept.
class HistoryPage : public QWidget {
    Q_OBJECT

public:
    HistoryPage(History& history, Dialogs& dialogs, QWidget* parent = nullptr);
    ~HistoryPage() override;

    // The server whose player count the chart shows ("address:port").
    void setServer(const QString& serverKey);
    // Shows the record of the player a grid row names; false when the history does not know him.
    bool showPlayerFor(const QString& serverKey, const QString& guid, const QString& name);
    void showPlayer(qint64 playerId);
    std::optional<qint64> currentPlayer() const { return m_player; }

    // Who marks reports handled: the daemon user, or "rcon" for a direct session.
    void setHandler(const QString& handler) { m_handler = handler; }
    // Marks the chosen report on the Reports tab handled.
    void markReportHandled();

    // Where CSV files go; by default the system's save dialog. Empty cancels.
    void setSaveFileChooser(std::function<QString(const QString& suggestion)> chooser)
    {
        m_chooseFile = std::move(chooser);
    }

Q_SIGNALS:
    // "Ban…": a ban of the player shown, his guid, last name and last address filled in.
    void banRequested(const garrison::BanRecord& preset);

protected:
    // Reports come in while the page is hidden: it shows them as they are now.
    void showEvent(QShowEvent* event) override;

private:
    void search();
    void refresh();
    void refreshChart();
    void refreshReports();
    void showState();
    void saveNotes();
    void forget();
    void requestBan();
    void exportText(const QString& suggestion, const QString& text);
    void applyStorage();
    void loadStorage();

    const std::unique_ptr<Ui::HistoryPage> m_ui;
    History& m_history;
    Dialogs& m_dialogs;
    PlayerCountChart* m_chart = nullptr;
    QString m_server;
    std::optional<qint64> m_player;
    QList<SearchHit> m_hits;
    QString m_handler = QStringLiteral("rcon");
    std::function<QString(const QString&)> m_chooseFile;
};

} // namespace garrison
