#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace garrison {

class Dialogs;
class JoinServerConfig;

// The header's "Join Server" and "(config)": starts the game pointed at the administered
// server, with the game's path txtiw3mp and the join password txtserverpass.
class JoinGame : public QObject {
    Q_OBJECT

public:
    // window: the parent of the configuration window (the main window).
    JoinGame(Dialogs& dialogs, QWidget* window);

    // Reads both values from the settings store.
    void Form_Load();
    // Without a path, or with one that does not start, says why and opens the configuration.
    void joinServer(const QString& host, const QString& port);
    // An open configuration window is brought forward as it is, edits included.
    void openConfig();

    const QString& txtiw3mp() const { return m_txtiw3mp; }
    const QString& txtserverpass() const { return m_txtserverpass; }
    // After the configuration was saved.
    void setJoinSettings(const QString& path, const QString& password);

private:
    Dialogs& m_dialogs;
    QWidget* m_window;
    QPointer<JoinServerConfig> m_config;
    QString m_txtiw3mp;
    QString m_txtserverpass;
};

} // namespace garrison
