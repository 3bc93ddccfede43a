#include "Relay.h"
#include "RelayIni.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

using garrison::relay::Relay;
using garrison::relay::RelayIni;

namespace {

constexpr QLatin1StringView kIniArgument("ini=");
const QString kLogFile = QStringLiteral("pbucon.log");

int fail(const QString& message)
{
    std::fprintf(stderr, "pbucon: %s\n", qPrintable(message));
    return 1;
}

} // namespace

// Usage: pbucon.exe ini=<file>. A relative file is taken from the working folder; the log
// "pbucon.log" is written next to the ini file. SIGTERM or SIGKILL end it.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() != 1 || !arguments.constFirst().startsWith(kIniArgument)) {
        return fail(QStringLiteral("usage: pbucon.exe ini=<file>"));
    }
    const QFileInfo iniFile(QDir::current(), arguments.constFirst().mid(kIniArgument.size()));
    QFile file(iniFile.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return fail(QStringLiteral("cannot read %1").arg(file.fileName()));
    }
    const std::optional<RelayIni> ini = RelayIni::parse(file.read(64 * 1024));
    if (!ini) {
        return fail(
            QStringLiteral("%1 needs server=, myaddr=, login= and password=").arg(file.fileName()));
    }
    Relay relay(*ini, iniFile.absoluteDir().filePath(kLogFile));
    if (!relay.start()) {
        return fail(relay.errorString());
    }
    return QCoreApplication::exec();
}
