#include "PasswordSource.h"

#include <QFile>
#include <cstdio>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

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
std::optional<QString> prompt(const char* label)
{
    if (::isatty(STDIN_FILENO) != 1) {
        return std::nullopt;
    }
    std::fputs(label, stderr);
    std::fflush(stderr);
    termios saved{};
    ::tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    std::string line;
    const bool ok = static_cast<bool>(std::getline(std::cin, line));
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::fputs("\n", stderr);
    if (!ok) {
        return std::nullopt;
    }
    return firstLine(QByteArray::fromStdString(line));
}

} // namespace

PasswordSource::Result PasswordSource::readFile(const QString& path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return failure(QStringLiteral("--password-file: %1 is not a readable file").arg(path),
                       kBadArguments);
    }
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        return failure(QStringLiteral("--password-file: others may read %1 (mode %2); make it "
                                      "private with: chmod 600 %1")
                           .arg(path)
                           .arg(status.st_mode & 07777, 4, 8, QLatin1Char('0')),
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
            prompt(kind == Kind::Rcon ? "RCON password: " : "Daemon password: ")) {
        return {typed, QString(), kReplyReceived};
    }
    return failure(QStringLiteral("no %1 password: give --password-file FILE, set %2, use a "
                                  "profile that holds one, or run on a terminal to be asked")
                       .arg(kind == Kind::Rcon ? QStringLiteral("RCON") : QStringLiteral("daemon"),
                            QLatin1String(variable)),
                   kBadArguments);
}

} // namespace garrison::cli
