#include "RequestAnswers.h"

#include "DaemonConfig.h"
#include "LogTail.h"
#include "WireText.h"

namespace garrisond {

QByteArray RequestAnswers::rconPassword(const DaemonConfig& config)
{
    return WireText::encode(config.rconPassword);
}

QByteArray RequestAnswers::serverAddress(const DaemonConfig& config)
{
    const quint16 port = config.knownServerPort();
    return WireText::encode(
        QStringLiteral("SERVERADDRESS\naddress=%1\nport=%2")
            .arg(config.serverAddress, port != 0 ? QString::number(port) : QString()));
}

QByteArray RequestAnswers::log(const DaemonConfig& config, uid_t refusedOwner)
{
    QByteArray tail;
    QString error;
    if (!LogTail::read(config.gameLogPath, config.logTailBytes, &tail, &error, refusedOwner)) {
        tail =
            WireText::encode(QStringLiteral("The game server's log could not be read: ") + error);
    } else if (tail.isEmpty()) {
        tail = QByteArrayLiteral("The game server's log is empty.");
    }
    return "LOG " + QByteArray::number(tail.size()) + "\r\n" + tail;
}

QByteArray RequestAnswers::banReasons(const DaemonConfig& config, const QString& level)
{
    if (!config.banLevels.contains(level)) {
        return WireText::encode(
                   QStringLiteral("BANREFUSED the level %1 may not read or change the bans "
                                  "(ban_levels)")
                       .arg(level)) +
               '\n';
    }
    QString text = QStringLiteral("BANREASONS %1\n").arg(config.banReasons.size());
    for (const QString& reason : config.banReasons) {
        text += reason + QLatin1Char('\n');
    }
    return WireText::encode(text);
}

} // namespace garrisond
