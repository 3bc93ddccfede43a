#include "RelayLogReader.h"

#include "platform/AnsiText.h"

#include <QFile>

namespace garrison {

namespace {

// Read in pieces: big buffers are slow to fill for the first time, small ones are reused.
constexpr qint64 kChunkBytes = 32 * 1024;

} // namespace

void RelayLineEnds::feed(QStringView content, QString& text)
{
    const qsizetype size = content.size();
    qsizetype copiedUpTo = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = content[i].unicode();
        if (c != u'\r' && c != u'\n') {
            if (m_lineEnded) {
                // A line follows a line end: the join, its LF widened to CR LF.
                text.append(content.mid(copiedUpTo, i - copiedUpTo));
                text.append(QStringView(u"\r\r\n"));
                copiedUpTo = i;
                m_lineEnded = false;
            }
            m_afterCr = false;
            continue;
        }
        text.append(content.mid(copiedUpTo, i - copiedUpTo));
        copiedUpTo = i + 1;
        if (c == u'\n' && m_afterCr) {
            m_afterCr = false;
            continue;
        }
        m_afterCr = c == u'\r';
        if (m_lineEnded) {
            text.append(QStringView(u"\r\r\n"));
            m_lineEnded = false;
        }
        if (c == u'\r') {
            // The join is written once the next line begins: the last line end of the file
            // starts no further line.
            m_lineEnded = true;
        } else {
            // A lone LF does not end a line; it becomes CR LF all the same.
            text.append(QStringView(u"\r\n"));
        }
    }
    text.append(content.mid(copiedUpTo));
}

std::optional<QString> RelayLogReader::ReadRelayLog(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QString text;
    // Room for the usual growth (one character per line end); more only costs a reallocation.
    text.reserve(file.size() + file.size() / 16 + 16);
    RelayLineEnds lineEnds;
    while (true) {
        const QByteArray chunk = file.read(kChunkBytes);
        if (file.error() != QFileDevice::NoError) {
            return std::nullopt;
        }
        if (chunk.isEmpty()) {
            break;
        }
        lineEnds.feed(fromAnsi(chunk), text);
    }
    return text;
}

QString RelayLogReader::fromFileContent(QStringView content)
{
    QString text;
    text.reserve(content.size() + content.size() / 16);
    RelayLineEnds lineEnds;
    lineEnds.feed(content, text);
    return text;
}

} // namespace garrison
