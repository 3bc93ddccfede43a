// garrisond's handling of what clients send: arbitrary bytes as a message before and after a
// login. Whatever they are, the audit line made of them is one bounded line with no control
// character, a login shows its level only as a level word or "(unknown level)", gathering them
// into messages keeps every byte, and a notice about an account named by them still reaches the
// client as a notice.

#include "AuditLog.h"
#include "DaemonMessage.h"
#include "LoginRequest.h"
#include "WireText.h"

#include <QDateTime>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace garrisond;

namespace {

// Time, address and event are short; the rest is bounded by the cuts (UTF-8, ellipses).
constexpr qsizetype kMaxLineBytes = 2048;

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void checkLine(const QString& who, const QString& event, const QString& detail)
{
    static const QDateTime when = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    const QString line =
        AuditLog::formatLine(when, QStringLiteral("127.0.0.1"), who, event, detail);
    check(line.endsWith(QLatin1Char('\n')));
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        check(line.at(i).category() != QChar::Other_Control);
    }
    check(line.toUtf8().size() <= kMaxLineBytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QString& account : {QString(), QStringLiteral("alice")}) {
        const DaemonMessage message = DaemonMessage::parse(bytes, account);
        using Kind = DaemonMessage::Kind;
        if (message.kind == Kind::Rejected) {
            check(size > DaemonMessage::kMaxMessageBytes || WireText::hasControlBytes(bytes));
            continue;
        }
        check(account.isEmpty() ? message.kind != Kind::Echo && message.kind != Kind::Other
                                : message.kind != Kind::Login);
        if (message.kind == Kind::Login) {
            const QString claimed = DaemonMessage::describeLogin(message.login);
            if (message.login) {
                const LoginRequest& login = *message.login;
                check(!login.user.isEmpty() && !login.user.contains(QLatin1Char(':')));
                check(login.user + QLatin1Char(':') + login.password + QLatin1Char('-') +
                          login.level ==
                      message.text);
                const QString level =
                    claimed.mid(claimed.lastIndexOf(QStringLiteral(" level=")) + 7);
                check(LoginRequest::isLevel(level) || level == QLatin1String("(unknown level)"));
            }
            checkLine(QStringLiteral("-"), QStringLiteral("login-refused"), claimed);
        } else if (message.kind == Kind::Echo) {
            check(account + QStringLiteral(" - ") + message.command == message.text);
            checkLine(QStringLiteral("alice/mp"), QStringLiteral("command"), message.command);
        } else {
            checkLine(account.isEmpty() ? QStringLiteral("-") : QStringLiteral("alice/mp"),
                      QStringLiteral("message"), message.text);
        }
    }
    // Gathering messages loses and reorders nothing, and leaves nothing once the client paused;
    // in a session, each message after the first begins with the echo prefix.
    for (const QString& account : {QString(), QStringLiteral("alice")}) {
        for (const bool quiet : {false, true}) {
            QByteArray rest = bytes;
            const QList<QByteArray> whole = DaemonMessage::takeWhole(&rest, account, quiet);
            check(whole.join() + rest == bytes && (!quiet || rest.isEmpty()));
            for (qsizetype i = 1; i < whole.size(); ++i) {
                check(whole.at(i).startsWith("alice - "));
            }
        }
    }
    // The client takes a message that begins with "ADDUSER" as a notice, whatever follows.
    const QString name = WireText::decode(bytes.left(256));
    const QByteArray notice = DaemonMessage::accountAddedNotice(name, {QStringLiteral("mp")});
    check(notice.startsWith("ADDUSER ") && !LoginRequest::isLevel(WireText::decode(notice)));
    return 0;
}
