#pragma once

#include <QString>
#include <QStringList>

namespace garrison {

class ProcessControl {
public:
    // Ends every running process whose image name equals imageName exactly ("pbucon.exe"),
    // also ones this program did not start. Returns how many it ended; no match does nothing.
    static int KillProcessByName(const QString& imageName);
    // The same, for the processes of that name that run in workingFolder only; a process whose
    // working folder cannot be read is left alone.
    static int KillProcessByNameIn(const QString& imageName, const QString& workingFolder);

    // Starts a program that outlives this one. program must be an absolute path. commandLine
    // follows the arguments verbatim on a Windows command line; it must be empty elsewhere.
    static bool startDetached(const QString& program, const QStringList& arguments,
                              const QString& workingFolder, const QString& commandLine = QString());
    // Starts a console program that outlives this one without showing a window: on Windows
    // through the shell, as opening it from Explorer would, hidden; elsewhere as startDetached.
    // program must be an absolute path.
    static bool startHidden(const QString& program, const QStringList& arguments,
                            const QString& workingFolder);

    // The arguments as one Windows command line that the C runtime (and CommandLineToArgvW)
    // splits back into the same arguments.
    static QString windowsCommandLine(const QStringList& arguments);
};

} // namespace garrison
