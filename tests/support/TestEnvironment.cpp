#include "TestEnvironment.h"

#include "platform/AppFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace garrison::test {

namespace {
QTemporaryDir& scratch()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/garrison-test-XXXXXX"));
    return dir;
}
} // namespace

void prepareEnvironment()
{
    const QDir root(scratch().path());
    for (const char* folder : {"config", "data", "runtime", "app"}) {
        root.mkpath(QLatin1String(folder));
    }
    QFile::setPermissions(root.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", root.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", root.filePath(QStringLiteral("runtime")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
#ifdef Q_OS_WIN
    // A registry key, credentials and a data folder of this test's own (and of the programs it
    // starts): a test that damages its history leaves the next one's alone.
    qputenv("GARRISON_STORE_SCOPE",
            QStringLiteral("test-%1").arg(GetCurrentProcessId()).toLatin1());
    // Qt's offscreen platform on Windows reads font files from one folder: the system's, or
    // under Wine the Linux machine's DejaVu (Wine's own fonts have no fixed-pitch one).
    if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR")) {
        const QString dejavu = QStringLiteral("Z:/usr/share/fonts/truetype/dejavu");
        qputenv("QT_QPA_FONTDIR",
                QFile::encodeName(underWine() && QDir(dejavu).exists()
                                      ? dejavu
                                      : qEnvironmentVariable("WINDIR") + QStringLiteral("/Fonts")));
    }
#endif
    AppFolder::setOverride(root.filePath(QStringLiteral("app")));
    // The user's own keyring is never touched: only a test that with-keyring runs, on a bus of
    // its own, reaches one.
    if (!qEnvironmentVariableIsSet("GARRISON_TEST_KEYRING")) {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
}

QString scratchFolder()
{
    return scratch().path();
}

QString sleeperProgram()
{
#ifdef Q_OS_WIN
    return QStringLiteral(GARRISON_WAIT_STAND_IN);
#else
    return QStandardPaths::findExecutable(QStringLiteral("sleep"));
#endif
}

bool underWine()
{
#ifdef Q_OS_WIN
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
#else
    return false;
#endif
}

bool writeFile(const QString& path, const QByteArray& bytes, bool executable)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() &&
           (!executable ||
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

} // namespace garrison::test
