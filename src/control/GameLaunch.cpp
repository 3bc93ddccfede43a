#include "GameLaunch.h"

#include "platform/ProcessControl.h"

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
#ifdef Q_OS_WIN
    return {true, {}};
#else
    return {false, [](const QString& name) { return QStandardPaths::findExecutable(name); }};
#endif
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
