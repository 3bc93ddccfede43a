#pragma once

#include "bans/BanTableModel.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class BanListWindow;
}

namespace garrison {

class BanSource;
class CommandSender;
class Dialogs;

// The ban list window BanList: the session's bans (search, sort, filter by state, add for an
// absent player, edit, lift, CSV export), the reasons that the ban dialogs offer, and,
// read-only, the game server's own bans with their unban commands.
class BanListWindow : public QWidget {
    Q_OBJECT

public:
    BanListWindow(CommandSender& sender, Dialogs& dialogs, QWidget* parent = nullptr);
    ~BanListWindow() override;

    // Where the session's bans live; null while there is nowhere (no history).
    void setBanSource(BanSource* source);
    // "This server" as bans name it, and who is named as issuing and lifting.
    void setServer(const QString& thisServer, const QString& actor);
    // A new session: the previous server's own bans are forgotten.
    void startSession();
    // The list the server published (pb_sv_banlist's answer).
    void takeServerList(const QString& text);

    // Where the engine's bans come from; read at each refresh.
    void setEngineBans(std::function<QList<BanTableModel::Row>()> reader)
    {
        m_engineBans = std::move(reader);
    }

    // Opens the "Add a ban" dialog with these values (the History page's "Ban…").
    void addBan(const BanRecord& preset);

    BanTableModel& model() { return m_model; }
    BanFilterModel& filterModel() { return m_filter; }

    // Where CSV files go; by default the system's save dialog. Empty cancels.
    void setSaveFileChooser(std::function<QString(const QString& suggestion)> chooser)
    {
        m_chooseFile = std::move(chooser);
    }

Q_SIGNALS:
    // Just before the server's own list is asked for: the list buffer should be emptied.
    void serverListRequested();
    // An unban of the server's own went out for the player in these grid-like cells (name,
    // score, ping, guid, slot, address), for the player history.
    void serverUnbanSent(const QStringList& cells, const QString& command);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();
    void requestServerBans();
    void edit();
    void lift();
    void unban();
    void exportCsv();
    void editReasons();
    void showCount();
    void showProblem(const QString& text);
    // The chosen row of the model; -1 when none.
    int chosenRow() const;
    void updateButtons();
    void importFiles();
    void showEngineBans();

    const std::unique_ptr<Ui::BanListWindow> m_ui;
    CommandSender& m_sender;
    Dialogs& m_dialogs;
    BanTableModel m_model;
    BanFilterModel m_filter;
    QPointer<BanSource> m_source;
    QString m_thisServer;
    QString m_actor = QStringLiteral("rcon");
    QTimer m_clock;
    std::function<QString(const QString&)> m_chooseFile;
    std::function<QList<BanTableModel::Row>()> m_engineBans;
    // The engine's ban file as the ban source last read it.
    QList<BanRecord> m_engineFile;
    bool m_filledByPages = false;
};

} // namespace garrison
