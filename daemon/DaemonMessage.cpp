#include "DaemonMessage.h"

#include "AuditLog.h"
#include "WireText.h"

#include <QJsonDocument>
#include <utility>

namespace garrisond {

namespace {

const QString kCommandLineClient = QStringLiteral("client garrison-rcon");

bool isRequestWord(const QString& text)
{
    return text == QLatin1String("getrconpass") || text == QLatin1String("getlog") ||
           text == QLatin1String("startserver") || text == QLatin1String("serverstate") ||
           text == QLatin1String("skiprestart") || text == QLatin1String("restartnow") ||
           text == QLatin1String("getevents") || text == QLatin1String("serveraddress") ||
           text == QLatin1String("getbans") || text == QLatin1String("importbans") ||
           text == QLatin1String("getenginebans") || text == QLatin1String("getbanreasons") ||
           text == kCommandLineClient;
}

// The ban requests that carry a JSON object after their word ("getbans" for a page).
DaemonMessage::Kind banChange(const QString& text)
{
    using Kind = DaemonMessage::Kind;
    const QString word = text.left(text.indexOf(QLatin1Char(' ')));
    return word == QLatin1String("addban")    ? Kind::AddBan
           : word == QLatin1String("editban") ? Kind::EditBan
           : word == QLatin1String("liftban") ? Kind::LiftBan
           : word == QLatin1String("getbans") ? Kind::GetBans
                                              : Kind::Other;
}

bool isWhole(const QByteArray& bytes, const QString& account)
{
    const QString text = WireText::decode(bytes);
    if (isRequestWord(text)) {
        return true;
    }
    if (!account.isEmpty()) {
        return banChange(text) != DaemonMessage::Kind::Other &&
               QJsonDocument::fromJson(bytes.mid(bytes.indexOf(' ') + 1)).isObject();
    }
    const auto login = LoginRequest::parse(text);
    return login && LoginRequest::isLevel(login->level);
}

} // namespace

QList<QByteArray> DaemonMessage::takeWhole(QByteArray* gathered, const QString& account, bool quiet)
{
    QList<QByteArray> whole;
    if (!account.isEmpty()) {
        // A command that holds "<account> - " itself is cut there, deliberately: it is recorded
        // as two echoes, which loses nothing.
        const QByteArray prefix = WireText::encode(account + QStringLiteral(" - "));
        qsizetype start = 0;
        for (qsizetype next = gathered->indexOf(prefix, 1); next > 0;
             next = gathered->indexOf(prefix, next + 1)) {
            whole.append(gathered->mid(start, next - start));
            start = next;
        }
        gathered->remove(0, start);
    }
    if (!gathered->isEmpty() && (quiet || isWhole(*gathered, account))) {
        whole.append(std::exchange(*gathered, QByteArray()));
    }
    return whole;
}

DaemonMessage DaemonMessage::parse(const QByteArray& bytes, const QString& account)
{
    DaemonMessage message;
    if (bytes.size() > kMaxMessageBytes || WireText::hasControlBytes(bytes)) {
        message.kind = Kind::Rejected;
        return message;
    }
    message.text = WireText::decode(bytes);
    if (message.text == QLatin1String("getrconpass")) {
        message.kind = Kind::GetRconPass;
    } else if (message.text == QLatin1String("getlog")) {
        message.kind = Kind::GetLog;
    } else if (message.text == QLatin1String("startserver")) {
        message.kind = Kind::StartServer;
    } else if (message.text == QLatin1String("serverstate")) {
        message.kind = Kind::ServerState;
    } else if (message.text == QLatin1String("skiprestart")) {
        message.kind = Kind::SkipRestart;
    } else if (message.text == QLatin1String("restartnow")) {
        message.kind = Kind::RestartNow;
    } else if (message.text == QLatin1String("getevents")) {
        message.kind = Kind::GetEvents;
    } else if (message.text == QLatin1String("serveraddress")) {
        message.kind = Kind::ServerAddress;
    } else if (message.text == kCommandLineClient) {
        message.kind = Kind::CommandLine;
    } else if (message.text == QLatin1String("getbans")) {
        message.kind = Kind::GetBans;
    } else if (message.text == QLatin1String("importbans")) {
        message.kind = Kind::ImportBans;
    } else if (message.text == QLatin1String("getenginebans")) {
        message.kind = Kind::GetEngineBans;
    } else if (message.text == QLatin1String("getbanreasons")) {
        message.kind = Kind::GetBanReasons;
    } else if (account.isEmpty()) {
        message.kind = Kind::Login;
        message.login = LoginRequest::parse(message.text);
    } else if (const QString prefix = account + QStringLiteral(" - ");
               message.text.startsWith(prefix)) {
        message.kind = Kind::Echo;
        message.command = message.text.mid(prefix.size());
    } else if (const Kind change = banChange(message.text); change != Kind::Other) {
        message.kind = change;
    }
    return message;
}

QString DaemonMessage::describeLogin(const std::optional<LoginRequest>& login)
{
    if (!login) {
        return QStringLiteral("malformed");
    }
    const QString level =
        LoginRequest::isLevel(login->level) ? login->level : QStringLiteral("(unknown level)");
    return QStringLiteral("user=%1 level=%2").arg(AuditLog::shortName(login->user), level);
}

bool DaemonMessage::mayStartServer(const QString& level)
{
    return level == QLatin1String("admin") || level == QLatin1String("poweradmin");
}

bool DaemonMessage::isStopCommand(const QString& command)
{
    const QString word = command.trimmed();
    return word.compare(QLatin1String("killserver"), Qt::CaseInsensitive) == 0 ||
           word.compare(QLatin1String("quit"), Qt::CaseInsensitive) == 0;
}

QByteArray DaemonMessage::accountAddedNotice(const QString& name, const QStringList& levels)
{
    return WireText::encode(
        QStringLiteral("ADDUSER The daemon account \"%1\" was added (levels: %2).")
            .arg(name, levels.join(QStringLiteral(", "))));
}

QByteArray DaemonMessage::accountsAddedNotice(qsizetype count)
{
    return WireText::encode(QStringLiteral("ADDUSER %1 daemon accounts were added.").arg(count));
}

QByteArray DaemonMessage::rconChangedNotice()
{
    return WireText::encode(QStringLiteral("CHANGERCON The game server's RCON password was "
                                           "changed on the daemon. Log in again to receive the "
                                           "new one."));
}

QByteArray DaemonMessage::accountRemovedRefusal(const QString& name)
{
    return WireText::encode(
        QStringLiteral("DENIED The daemon account \"%1\" was removed; log in with another account")
            .arg(name));
}

QByteArray DaemonMessage::levelRemovedRefusal(const QString& name, const QString& level)
{
    return WireText::encode(QStringLiteral("DENIED The daemon account \"%1\" no longer has the "
                                           "level %2; log in with another level")
                                .arg(name, level));
}

QByteArray DaemonMessage::idleRefusal(std::chrono::seconds idle)
{
    const qint64 seconds = idle.count();
    const QString span = seconds % 60 == 0 ? QStringLiteral("%1 min").arg(seconds / 60)
                                           : QStringLiteral("%1 s").arg(seconds);
    return WireText::encode(
        QStringLiteral("DENIED Logged out after %1 of inactivity; log in again").arg(span));
}

QByteArray DaemonMessage::madeRoomRefusal()
{
    return QByteArrayLiteral(
        "DENIED Logged out to make room for an administrator; log in again later");
}

QByteArray DaemonMessage::sessionLimitRefusal(int limit)
{
    return WireText::encode(
        QStringLiteral("DENIED This account is logged in %1 times already; log out of one first")
            .arg(limit));
}

} // namespace garrisond
