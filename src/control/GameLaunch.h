#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace garrison {

// One start of the game, as the machine at hand needs it.
struct GameStart {
    QString program;
    QStringList arguments;
    // Set only where programs take one command line: the parameters exactly as typed.
    QString commandLine;
    QString workingFolder;

    bool operator==(const GameStart&) const = default;
};

// Starting the game's multiplayer executable pointed at the administered server.
class GameLaunch {
public:
    // What the machine offers: whether programs take one command line (Windows) or a list of
    // arguments, and where an installed program lives (empty when it is not installed).
    struct Host {
        bool commandLine = false;
        std::function<QString(const QString& name)> findExecutable;
    };
    static Host currentHost();

    // The password part is always there: without a password the text ends in "+password ".
    static QString parameters(const QString& address, const QString& port, const QString& password);
    // The executable's path with every "CoDWaWmp.exe" (exact case) removed; a file named
    // otherwise leaves the path as it is.
    static QString workingFolder(const QString& executablePath);
    // True for a file that begins like a Windows program; a file that cannot be read is
    // judged by its ".exe" suffix.
    static bool isWindowsProgram(const QString& executablePath);

    // What keeps a configured path from starting, as far as can be told before trying.
    enum class Problem { None, Missing, Folder, NotExecutable, NeedsWine, StartFailed };
    static Problem check(const QString& executablePath, const Host& host = currentHost());
    // A message that names the path tried and says what to do.
    static QString explain(Problem problem, const QString& executablePath);

    static GameStart plan(const QString& executablePath, const QString& parameters,
                          bool windowsProgram, const Host& host);

    // Starts the game on this machine and does not watch it; false when it did not start.
    static bool start(const QString& executablePath, const QString& parameters);
};

} // namespace garrison
