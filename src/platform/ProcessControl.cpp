#include "ProcessControl.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <functional>

#ifdef Q_OS_WIN
#include <windows.h>
// After windows.h, which they need.
#include <shellapi.h>
#include <tlhelp32.h>
#else
#include <csignal>
#include <sys/types.h>
#endif

namespace garrison {

#ifdef Q_OS_WIN

namespace {

// Where a running process works: its current directory, which Windows keeps in the process's
// own parameters block (not in any public query). Read from outside through the documented
// offsets of the 64-bit layout: the parameters at PEB + 0x20, their CurrentDirectory.DosPath
// (a UNICODE_STRING) at + 0x38. Empty when the process may not be read.
QString workingFolderOf(HANDLE process)
{
    using Query = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    struct BasicInformation {
        PVOID reserved1;
        PVOID peb;
        PVOID reserved2[2];
        ULONG_PTR processId;
        PVOID reserved3;
    } basic{};
    if (!query || query(process, 0 /* ProcessBasicInformation */, &basic, sizeof(basic),
                        nullptr) != 0) {
        return {};
    }
    const auto read = [process](quintptr address, void* into, SIZE_T size) {
        SIZE_T done = 0;
        return ReadProcessMemory(process, reinterpret_cast<LPCVOID>(address), into, size,
                                 &done) &&
               done == size;
    };
    quintptr parameters = 0;
    struct {
        USHORT length;
        USHORT maximumLength;
        quint32 padding;
        quintptr buffer;
    } path{};
    if (!read(quintptr(basic.peb) + 0x20, &parameters, sizeof(parameters)) ||
        !read(parameters + 0x38, &path, sizeof(path)) || path.length == 0) {
        return {};
    }
    std::wstring text(path.length / sizeof(wchar_t), L'\0');
    if (!read(path.buffer, text.data(), path.length)) {
        return {};
    }
    return QString::fromStdWString(text);
}

// Ends every process of that image name, other than this one, that passes the test.
int killMatching(const QString& imageName, const std::function<bool(HANDLE)>& passes)
{
    if (imageName.isEmpty()) {
        return 0;
    }
    int ended = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId() ||
            QString::fromWCharArray(entry.szExeFile).compare(imageName, Qt::CaseInsensitive) != 0) {
            continue;
        }
        if (HANDLE process = OpenProcess(
                PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                entry.th32ProcessID)) {
            ended += passes(process) && TerminateProcess(process, 1) ? 1 : 0;
            CloseHandle(process);
        } else if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
            // One we may end but not read: only a search by name alone ends it.
            ended += passes(nullptr) && TerminateProcess(process, 1) ? 1 : 0;
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
    return ended;
}

QString comparable(const QString& folder)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(folder)).toLower();
}

} // namespace

int ProcessControl::KillProcessByName(const QString& imageName)
{
    return killMatching(imageName, [](HANDLE) { return true; });
}

int ProcessControl::KillProcessByNameIn(const QString& imageName, const QString& workingFolder)
{
    if (workingFolder.isEmpty()) {
        return 0;
    }
    const QString wanted = comparable(QFileInfo(workingFolder).absoluteFilePath());
    return killMatching(imageName, [&wanted](HANDLE process) {
        return process && comparable(workingFolderOf(process)) == wanted;
    });
}

bool ProcessControl::startHidden(const QString& program, const QStringList& arguments,
                                 const QString& workingFolder)
{
    const std::wstring file = QDir::toNativeSeparators(program).toStdWString();
    const std::wstring parameters = windowsCommandLine(arguments).toStdWString();
    const std::wstring folder = QDir::toNativeSeparators(workingFolder).toStdWString();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // No box about a missing program: the caller finds out by other means.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_HIDE;
    return ShellExecuteExW(&info) != FALSE;
}

#else

namespace {

// The image name of a process: the file name of its executable. /proc/<pid>/comm is cut at
// 15 characters, so it is only the fallback for processes whose exe link we may not read.
QString imageNameOf(const QString& pidFolder)
{
    QString target = QFile::symLinkTarget(pidFolder + QStringLiteral("/exe"));
    if (!target.isEmpty()) {
        target.remove(QStringLiteral(" (deleted)"));
        return QFileInfo(target).fileName();
    }
    QFile comm(pidFolder + QStringLiteral("/comm"));
    if (comm.open(QIODevice::ReadOnly)) {
        return QString::fromLocal8Bit(comm.readAll()).trimmed();
    }
    return {};
}

// Ends every process of that image name, other than this one, that passes the test.
int killMatching(const QString& imageName, const std::function<bool(const QString&)>& passes)
{
    if (imageName.isEmpty()) {
        return 0;
    }
    const qint64 self = QCoreApplication::applicationPid();
    int ended = 0;
    const QDir proc(QStringLiteral("/proc"));
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid || pid == self) {
            continue;
        }
        const QString folder = proc.filePath(entry);
        if (imageNameOf(folder) == imageName && passes(folder) &&
            ::kill(static_cast<pid_t>(pid), SIGKILL) == 0) {
            ++ended;
        }
    }
    return ended;
}

} // namespace

int ProcessControl::KillProcessByName(const QString& imageName)
{
    return killMatching(imageName, [](const QString&) { return true; });
}

int ProcessControl::KillProcessByNameIn(const QString& imageName, const QString& workingFolder)
{
    const QString wanted = QFileInfo(workingFolder).canonicalFilePath();
    return killMatching(imageName, [&wanted](const QString& pidFolder) {
        return !wanted.isEmpty() &&
               QFileInfo(pidFolder + QStringLiteral("/cwd")).canonicalFilePath() == wanted;
    });
}

bool ProcessControl::startHidden(const QString& program, const QStringList& arguments,
                                 const QString& workingFolder)
{
    return startDetached(program, arguments, workingFolder);
}

#endif

bool ProcessControl::startDetached(const QString& program, const QStringList& arguments,
                                   const QString& workingFolder, const QString& commandLine)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
#ifdef Q_OS_WIN
    process.setNativeArguments(commandLine);
#else
    if (!commandLine.isEmpty()) {
        return false;
    }
#endif
    process.setWorkingDirectory(workingFolder);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

QString ProcessControl::windowsCommandLine(const QStringList& arguments)
{
    QStringList quoted;
    for (const QString& argument : arguments) {
        const bool plain =
            !argument.isEmpty() && std::none_of(argument.begin(), argument.end(), [](QChar c) {
                return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'"';
            });
        if (plain) {
            quoted.append(argument);
            continue;
        }
        // Backslashes are literal unless a quote follows them: then they are doubled, and a
        // quote of the argument's own gets one more that escapes it.
        QString text(1, u'"');
        qsizetype backslashes = 0;
        for (const QChar c : argument) {
            if (c == u'\\') {
                ++backslashes;
                continue;
            }
            if (c == u'"') {
                text += QString(backslashes * 2 + 1, u'\\');
            } else {
                text += QString(backslashes, u'\\');
            }
            text += c;
            backslashes = 0;
        }
        text += QString(backslashes * 2, u'\\') + u'"';
        quoted.append(text);
    }
    return quoted.join(u' ');
}

} // namespace garrison
