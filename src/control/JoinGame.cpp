#include "JoinGame.h"

#include "control/GameLaunch.h"
#include "control/JoinServerConfig.h"
#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"

namespace garrison {

JoinGame::JoinGame(Dialogs& dialogs, QWidget* window)
    : QObject(window), m_dialogs(dialogs), m_window(window)
{}

void JoinGame::Form_Load()
{
    m_txtiw3mp = SettingsStore::read(QStringLiteral("[Configs]"), QStringLiteral("Path"));
    m_txtserverpass =
        SettingsStore::read(QStringLiteral("[Configs]"), QStringLiteral("ServerPass"));
}

void JoinGame::setJoinSettings(const QString& path, const QString& password)
{
    m_txtiw3mp = path;
    m_txtserverpass = password;
}

void JoinGame::joinServer(const QString& host, const QString& port)
{
    if (m_txtiw3mp.isEmpty()) {
        m_dialogs.message(QStringLiteral("You need to config this first!"),
                          QStringLiteral("Config!"), BoxIcon::Critical);
        openConfig();
        return;
    }
    // Once started, the game is not watched; what can be known before is said.
    const GameLaunch::Problem problem = GameLaunch::check(m_txtiw3mp);
    if (problem == GameLaunch::Problem::None &&
        GameLaunch::start(m_txtiw3mp, GameLaunch::parameters(host, port, m_txtserverpass))) {
        return;
    }
    m_dialogs.message(GameLaunch::explain(problem == GameLaunch::Problem::None
                                              ? GameLaunch::Problem::StartFailed
                                              : problem,
                                          m_txtiw3mp),
                      QStringLiteral("Join Server"), BoxIcon::Critical);
    openConfig();
}

void JoinGame::openConfig()
{
    if (!m_config) {
        m_config = new JoinServerConfig(m_dialogs, m_txtiw3mp, m_txtserverpass, m_window);
        connect(m_config, &JoinServerConfig::saved, this, &JoinGame::setJoinSettings);
    }
    m_config->show();
    m_config->raise();
    m_config->activateWindow();
}

} // namespace garrison
