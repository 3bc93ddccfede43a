#include "RconDatagram.h"

#include "platform/AnsiText.h"

namespace garrison::RconDatagram {

namespace {
const QByteArray kRequestPrefix = QByteArrayLiteral("\xFF\xFF\xFF\xFFrcon ");
} // namespace

QByteArray request(const QString& password, const QString& command)
{
    QByteArray datagram = kRequestPrefix;
    datagram += toAnsi(password);
    datagram += ' ';
    datagram += toAnsi(command);
    return datagram;
}

QString cleanReply(const QByteArray& datagram)
{
    QString text = fromAnsi(datagram);
    text.remove(QStringLiteral(u"\u00FF\u00FF\u00FF\u00FFprint\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    text.replace(QStringLiteral("^7 "), QStringLiteral("   "));
    return text;
}

} // namespace garrison::RconDatagram
