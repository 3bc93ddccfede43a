#include "GameLaunch.h"

#include "platform/HostSystem.h"
#include "platform/ProcessControl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace garrison {

namespace {
// Runs Windows programs on other systems.
const QString kCompatibilityLayer = QStringLiteral("wine");
} // namespace

GameLaunch::Host GameLaunch::currentHost()
{
    if (HostSystem::passesOneCommandLine()) {
        return {true, {}};
    }
    return {false, [](const QString& name) { return QStandardPaths::findExecutable(name); }};
}

QString GameLaunch::parameters(const QString& address, const QString& port, const QString& password)
{
    return QStringLiteral("+connect ") + address + QLatin1Char(':') + port +
           QStringLiteral(" +password ") + password;
}

QString GameLaunch::workingFolder(const QString& executablePath)
{
    return QString(executablePath).remove(QStringLiteral("CoDWaWmp.exe"), Qt::CaseSensitive);
}

bool GameLaunch::isWindowsProgram(const QString& executablePath)
{
    QFile file(executablePath);
    if (file.open(QIODevice::ReadOnly)) {
        return file.read(2) == "MZ";
    }
    return executablePath.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive);
}

GameLaunch::Problem GameLaunch::check(const QString& executablePath, const Host& host)
{
    const QFileInfo file(executablePath);
    if (!file.exists()) {
        return Problem::Missing;
    }
    if (file.isDir()) {
        return Problem::Folder;
    }
    if (host.commandLine) {
        return Problem::None;
    }
    if (isWindowsProgram(executablePath)) {
        const bool layer =
            host.findExecutable && !host.findExecutable(kCompatibilityLayer).isEmpty();
        return layer || file.isExecutable() ? Problem::None : Problem::NeedsWine;
    }
    return file.isExecutable() ? Problem::None : Problem::NotExecutable;
}

QString GameLaunch::explain(Problem problem, const QString& executablePath)
{
    const QString tried = QStringLiteral("GARRISON tried to start the game from\r\n") +
                          QDir::toNativeSeparators(executablePath) + QStringLiteral("\r\n");
    const QString choose =
        QStringLiteral("\r\n\r\nChoose the game's executable under \"(config)\".");
    switch (problem) {
    case Problem::None:
        return {};
    case Problem::Missing:
        return tried + QStringLiteral("but there is no such file.") + choose;
    case Problem::Folder:
        return tried + QStringLiteral("but that is a folder, not a program.") + choose;
    case Problem::NotExecutable:
        return tried +
               QStringLiteral("but that file is not marked as a program that may run. "
                              "Allow it to run (chmod +x) or choose another.") +
               choose;
    case Problem::NeedsWine:
        return tried +
               QStringLiteral("but it is a Windows program, and wine, which runs Windows "
                              "programs here, is not installed. Install wine, or choose "
                              "a program made for this system.") +
               choose;
    case Problem::StartFailed:
        return tried + QStringLiteral("but it did not start.") + choose;
    }
    return {};
}

GameStart GameLaunch::plan(const QString& executablePath, const QString& parameters,
                           bool windowsProgram, const Host& host)
{
    GameStart start;
    // Started programs need an absolute path; a typed relative one means the current folder.
    start.program = QFileInfo(executablePath).absoluteFilePath();
    start.workingFolder = workingFolder(executablePath);
    if (host.commandLine) {
        start.commandLine = parameters;
        return start;
    }
    start.arguments = QProcess::splitCommand(parameters);
    if (windowsProgram && host.findExecutable) {
        const QString layer = host.findExecutable(kCompatibilityLayer);
        if (!layer.isEmpty()) {
            start.arguments.prepend(start.program);
            start.program = layer;
        }
    }
    return start;
}

bool GameLaunch::start(const QString& executablePath, const QString& parameters)
{
    const GameStart start =
        plan(executablePath, parameters, isWindowsProgram(executablePath), currentHost());
    return ProcessControl::startDetached(start.program, start.arguments, start.workingFolder,
                                         start.commandLine);
}

} // namespace garrison
