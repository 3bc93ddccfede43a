#include "DaemonReceiver.h"

#include "daemon/ServerStateReport.h"
#include "login/DaemonEvent.h"

#include <algorithm>
#include <utility>

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
    if (serverAddress(message)) {
        return {Kind::ServerAddress, message};
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

std::optional<DaemonReceiver::ServerAddress> DaemonReceiver::serverAddress(const QString& message)
{
    const QStringList lines = message.split(QLatin1Char('\n'));
    if (lines.first() != QLatin1String("SERVERADDRESS")) {
        return std::nullopt;
    }
    ServerAddress answer;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("address="))) {
            answer.address = line.mid(8).trimmed();
        } else if (line.startsWith(QLatin1String("port="))) {
            answer.port = line.mid(5).trimmed();
        }
    }
    return answer;
}

QString DaemonReceiver::unescapeLog(const QString& log)
{
    // As garrisond's LogTail escapes them.
    static const QStringList kProtocolWords{
        QStringLiteral("EVENT"),   QStringLiteral("SERVERSTATE"), QStringLiteral("SERVERADDRESS"),
        QStringLiteral("ADDUSER"), QStringLiteral("CHANGERCON"),  QStringLiteral("DENIED"),
        QStringLiteral("mp"),      QStringLiteral("admin"),       QStringLiteral("poweradmin"),
        QStringLiteral("BAN")};
    QString plain;
    plain.reserve(log.size());
    for (qsizetype start = 0; start <= log.size();) {
        qsizetype end = log.indexOf(QLatin1Char('\n'), start);
        end = end < 0 ? log.size() : end;
        QStringView line = QStringView(log).sliced(start, end - start);
        qsizetype blanks = 0;
        while (blanks < line.size() && line.at(blanks) == QLatin1Char(' ')) {
            ++blanks;
        }
        if (blanks > 0) {
            const QStringView rest = line.sliced(blanks);
            for (const QString& word : kProtocolWords) {
                if (rest.startsWith(word)) {
                    line = line.sliced(1);
                    break;
                }
            }
        }
        plain += line;
        if (end < log.size()) {
            plain += QLatin1Char('\n');
        }
        start = end + 1;
    }
    return plain;
}

std::optional<DaemonReceiver::LogHeader> DaemonReceiver::logHeader(QStringView message)
{
    static const QLatin1StringView kWord("LOG ");
    // More digits than this would be a log no daemon sends.
    constexpr qsizetype kMaxDigits = 12;
    if (!message.startsWith(kWord)) {
        return std::nullopt;
    }
    const qsizetype end = message.indexOf(QLatin1String("\r\n"), kWord.size());
    const QStringView digits =
        end < 0 ? QStringView() : message.sliced(kWord.size(), end - kWord.size());
    if (digits.isEmpty() || digits.size() > kMaxDigits ||
        !std::all_of(digits.begin(), digits.end(),
                     [](QChar c) { return c.isDigit() && c.unicode() < 0x80; })) {
        return std::nullopt;
    }
    return LogHeader{end + 2, digits.toLongLong()};
}

DaemonReceiver::Split DaemonReceiver::takeEventLines(const QString& received)
{
    const bool continued = !m_eventPartial.isEmpty();
    const QString text = std::exchange(m_eventPartial, QString()) + received;
    const QString& prefix = DaemonEvent::kPrefix;
    Split split;
    qsizetype at = 0;
    while (at < text.size()) {
        const QStringView remaining = QStringView(text).sliced(at);
        if (remaining.startsWith(prefix)) {
            const qsizetype end = text.indexOf(QLatin1Char('\n'), at);
            if (end < 0) {
                if (remaining.size() > kMaxEventLine) {
                    break;
                }
                m_eventPartial = remaining.toString();
                at = text.size();
                break;
            }
            split.eventLines.append(text.sliced(at, end - at));
            at = end + 1;
        } else if ((at > 0 || continued) && QStringView(prefix).startsWith(remaining)) {
            // Cut off inside the word itself; only after an event line, since the daemon's
            // other messages may be as short as a prefix of it.
            m_eventPartial = remaining.toString();
            at = text.size();
        } else {
            break;
        }
    }
    split.rest = text.sliced(at);
    return split;
}

} // namespace garrison
