#include "UconIni.h"

#include "platform/AnsiText.h"

#include <QDir>
#include <QFile>

namespace garrison {

namespace {
// Nine characters that start every UCON password this program makes.
const QString kPasswordPrefix = QStringLiteral("GrsnUcon_");
} // namespace

UconIdentity UconIdentity::forAddress(const QString& localAddress)
{
    return {localAddress, QStringLiteral("GARRISON-") + localAddress,
            kPasswordPrefix + localAddress};
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
    QFile file(dir.filePath(kIniFile));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(toAnsi(text + QStringLiteral("\r\n")));
    }
}

} // namespace garrison
