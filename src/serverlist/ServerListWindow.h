#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>

namespace Ui {
class ServerListWindow;
}

namespace garrison {

class Dialogs;
class PlayerGridModel;
class PlayerSortModel;
class ServerListModel;
class ServerSortModel;

// The window ServerList: every saved profile and added address with what the server says of
// itself, asked while the window is shown; the players of the selected server below. It
// logs in by asking for it: whoever owns the login window answers.
class ServerListWindow : public QWidget {
    Q_OBJECT

public:
    explicit ServerListWindow(Dialogs& dialogs, QWidget* parent = nullptr);
    ~ServerListWindow() override;

    ServerListModel& model() { return *m_model; }
    // Reads the profiles and added addresses again: a profile may have been saved since.
    void reload();

Q_SIGNALS:
    void profileLoginRequested(int slot);
    void addressLoginRequested(const QString& host, const QString& port);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int currentRow() const;
    void logIn();
    void addAddress();
    void removeAddress();
    void setPaused(bool paused);
    void currentChanged();
    void showPlayers();
    void updateStatus();
    void select(int row);

    const std::unique_ptr<Ui::ServerListWindow> m_ui;
    Dialogs& m_dialogs;
    ServerListModel* m_model;
    ServerSortModel* m_sort;
    PlayerGridModel* m_players;
    PlayerSortModel* m_playerSort;
    QStringList m_skipped;
    QString m_note; // the outcome of the user's last action, before the counts
};

} // namespace garrison
