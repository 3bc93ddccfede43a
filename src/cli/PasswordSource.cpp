#include "PasswordSource.h"

#include "platform/ConsoleInput.h"
#include "platform/ConsoleOutput.h"
#include "platform/PrivateFile.h"

#include <QFile>
#include <QFileInfo>

namespace garrison::cli {

namespace {

PasswordSource::Result failure(const QString& error, int exitCode)
{
    return {std::nullopt, error, exitCode};
}

QString firstLine(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes);
    const qsizetype end = text.indexOf(QLatin1Char('\n'));
    if (end >= 0) {
        text.truncate(end);
    }
    if (text.endsWith(QLatin1Char('\r'))) {
        text.chop(1);
    }
    return text;
}

// Reads one line from the terminal on standard input with its echo switched off.
std::optional<QString> prompt(const QString& label)
{
    if (!ConsoleInput::isTerminal()) {
        return std::nullopt;
    }
    ConsoleOutput::write(ConsoleOutput::Stream::Error, label);
    const std::optional<QString> line = ConsoleInput::readHiddenLine();
    // The Enter key was not shown either.
    ConsoleOutput::write(ConsoleOutput::Stream::Error, QStringLiteral("\n"));
    return line;
}

} // namespace

PasswordSource::Result PasswordSource::readFile(const QString& path)
{
    if (!QFileInfo(path).isFile()) {
        return failure(QStringLiteral("--password-file: %1 is not a readable file").arg(path),
                       kBadArguments);
    }
    if (const std::optional<uint> mode = PrivateFile::sharedMode(path)) {
        return failure(QStringLiteral("--password-file: others may read %1 (mode %2); make it "
                                      "private with: chmod 600 %1")
                           .arg(path)
                           .arg(*mode, 4, 8, QLatin1Char('0')),
                       kBadArguments);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return failure(
            QStringLiteral("--password-file: cannot read %1: %2").arg(path, file.errorString()),
            kBadArguments);
    }
    return {firstLine(file.read(4096)), QString(), kReplyReceived};
}

PasswordSource::Result PasswordSource::resolve(const Request& request,
                                               const QString& profilePassword, Kind kind)
{
    const char* variable = kind == Kind::Rcon ? kEnvironmentVariable : kDaemonVariable;
    if (!request.passwordFile.isEmpty()) {
        return readFile(request.passwordFile);
    }
    if (request.password) {
        return {request.password, QString(), kReplyReceived};
    }
    if (qEnvironmentVariableIsSet(variable)) {
        return {qEnvironmentVariable(variable), QString(), kReplyReceived};
    }
    if (!profilePassword.isEmpty()) {
        return {profilePassword, QString(), kReplyReceived};
    }
    if (std::optional<QString> typed =
            prompt(kind == Kind::Rcon ? QStringLiteral("RCON password: ")
                                      : QStringLiteral("Daemon password: "))) {
        return {typed, QString(), kReplyReceived};
    }
    return failure(QStringLiteral("no %1 password: give --password-file FILE, set %2, use a "
                                  "profile that holds one, or run on a terminal to be asked")
                       .arg(kind == Kind::Rcon ? QStringLiteral("RCON") : QStringLiteral("daemon"),
                            QLatin1String(variable)),
                   kBadArguments);
}

} // namespace garrison::cli
