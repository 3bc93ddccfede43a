#pragma once

#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace Ui {
class PlayersPage;
}

class QAbstractItemModel;
class QTableView;

namespace garrison {

class PlayerSortModel;

// The players page Picture1: the player grid, sortable by any column, with names in their game
// colours, and the opt-in automatic refresh.
class PlayersPage : public QWidget {
    Q_OBJECT

public:
    static constexpr int kDefaultRefreshSeconds = 15;

    explicit PlayersPage(QWidget* parent = nullptr);
    ~PlayersPage() override;

    QTableView& grid();
    // The grid shows these rows in the order the user chose.
    void setSourceModel(QAbstractItemModel& model);
    PlayerSortModel& sortModel() { return *m_sort; }

    // The cells of the selected row, colour codes kept; empty when no row is selected.
    QStringList selectedCells() const;
    // Puts the selected row on the clipboard, its cells separated by tabs.
    void copySelectedRow();
    // Runs while the automatic refresh is on; tests shorten its interval.
    QTimer& refreshTimer() { return m_refreshTimer; }

Q_SIGNALS:
    // The automatic refresh is due; the main window decides whether to ask the server now.
    void refreshRequested();
    void statusMessage(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadRefreshChoice();
    void applyRefreshChoice();
    void showStaleness();
    void rememberCurrentPlayer();
    void restoreCurrentPlayer();

    const std::unique_ptr<Ui::PlayersPage> m_ui;
    PlayerSortModel* m_sort = nullptr;
    QTimer m_refreshTimer;
    // Slot and name of the selected player while the rows are replaced.
    QStringList m_currentPlayer;
};

} // namespace garrison
