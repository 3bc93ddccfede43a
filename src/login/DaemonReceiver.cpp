#include "DaemonReceiver.h"

#include "daemon/ServerStateReport.h"

namespace garrison {

namespace {
const QString kOn = QStringLiteral("1");
const QString kOff = QStringLiteral("0");
} // namespace

DaemonReceiver::Taken DaemonReceiver::take(const QString& message)
{
    if (RconPassPending == kOn) {
        RconPassPending = kOff;
        return {Kind::RconPassword, message};
    }
    // Asked for when the Admin page opens, it may come between "getlog" and the log.
    if (ServerStateReport::isReport(message)) {
        return {Kind::ServerState, message};
    }
    if (LogPending == kOn) {
        LogPending = kOff;
        return {Kind::Log, message};
    }
    if (message == QLatin1String("admin") || message == QLatin1String("poweradmin") ||
        message == QLatin1String("mp")) {
        RconPassPending = kOn;
        return {Kind::LevelAnswer, message};
    }
    // Only the prefix with its blank is removed: "ADDUSERx" is shown whole.
    if (message.startsWith(QLatin1String("ADDUSER"))) {
        return {Kind::Notice, QString(message).remove(QStringLiteral("ADDUSER "))};
    }
    if (message.startsWith(QLatin1String("CHANGERCON"))) {
        return {Kind::Notice, QString(message).remove(QStringLiteral("CHANGERCON "))};
    }
    if (message.startsWith(QLatin1String("DENIED "))) {
        return {Kind::Refusal, message.mid(7)};
    }
    return {Kind::Other, message};
}

} // namespace garrison
