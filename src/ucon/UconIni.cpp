#include "UconIni.h"

#include "platform/AnsiText.h"
#include "platform/PrivateFile.h"

#include <QDir>
#include <QFile>

namespace garrison {

UconIdentity UconIdentity::forAddress(const QString& localAddress, const QString& password)
{
    // A literal rather than a namespace-scope QString: callers may run during static
    // initialisation (the order of which across files is unspecified), before such a global
    // would be constructed.
    return {localAddress, QStringLiteral("GARRISON-") + localAddress, password};
}

QString UconIni::text(const QString& serverAddress, const QString& serverPort,
                      const QString& relayPort, const UconIdentity& identity)
{
    return QStringLiteral("server=") + serverAddress + QLatin1Char(':') + serverPort +
           QStringLiteral("\r\nmyaddr=") + identity.localAddress + QLatin1Char(':') + relayPort +
           QStringLiteral("\r\nlogin=") + identity.loginName + QStringLiteral("\r\npassword=") +
           identity.password;
}

void UconIni::write(const QString& folder, const QString& text)
{
    const QDir dir(folder);
    QFile::remove(dir.filePath(kIniFile));
    QFile::remove(dir.filePath(kLogFile));
    // The ini holds the UCON password. A file that could not be deleted is still made private.
    QFile file(dir.filePath(kIniFile));
    PrivateFile::restrict(file.fileName());
    if (PrivateFile::open(file, QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(toAnsi(text + QStringLiteral("\r\n")));
    }
}

} // namespace garrison
