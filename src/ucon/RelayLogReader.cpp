#include "RelayLogReader.h"

#include "platform/AnsiText.h"

#include <QFile>

namespace garrison {

std::optional<QString> RelayLogReader::ReadRelayLog(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return fromFileContent(fromAnsi(bytes));
}

QString RelayLogReader::fromFileContent(QStringView content)
{
    QString text;
    text.reserve(content.size() + content.size() / 16);
    const qsizetype size = content.size();
    qsizetype copiedUpTo = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = content[i].unicode();
        if (c == u'\r') {
            text.append(content.mid(copiedUpTo, i - copiedUpTo));
            const qsizetype next = i + 1 < size && content[i + 1] == u'\n' ? i + 2 : i + 1;
            // The last line end of the file starts no further line.
            if (next < size) {
                text.append(QStringView(u"\r\r\n"));
            }
            copiedUpTo = next;
            i = next - 1;
        } else if (c == u'\n') {
            text.append(content.mid(copiedUpTo, i - copiedUpTo));
            text.append(QStringView(u"\r\n"));
            copiedUpTo = i + 1;
        }
    }
    text.append(content.mid(copiedUpTo));
    return text;
}

} // namespace garrison
