#include "RelayLogReader.h"

#include "platform/AnsiText.h"

#include <QFile>

namespace garrison {

namespace {

// Read in pieces: big buffers are slow to fill for the first time, small ones are reused.
constexpr qint64 kChunkBytes = 32 * 1024;

// Builds the raw text from the file's characters, which may arrive in several pieces.
class LineEndRewriter {
public:
    explicit LineEndRewriter(qsizetype expectedSize) { m_text.reserve(expectedSize); }

    void feed(QStringView content)
    {
        const qsizetype size = content.size();
        qsizetype copiedUpTo = 0;
        for (qsizetype i = 0; i < size; ++i) {
            const char16_t c = content[i].unicode();
            if (c != u'\r' && c != u'\n') {
                if (m_lineEnded) {
                    // A line follows a line end: the join, its LF widened to CR LF.
                    m_text.append(content.mid(copiedUpTo, i - copiedUpTo));
                    m_text.append(QStringView(u"\r\r\n"));
                    copiedUpTo = i;
                    m_lineEnded = false;
                }
                m_afterCr = false;
                continue;
            }
            m_text.append(content.mid(copiedUpTo, i - copiedUpTo));
            copiedUpTo = i + 1;
            if (c == u'\n' && m_afterCr) {
                m_afterCr = false;
                continue;
            }
            m_afterCr = c == u'\r';
            if (m_lineEnded) {
                m_text.append(QStringView(u"\r\r\n"));
                m_lineEnded = false;
            }
            if (c == u'\r') {
                m_lineEnded = true;
            } else {
                // A lone LF does not end a line; it becomes CR LF all the same.
                m_text.append(QStringView(u"\r\n"));
            }
        }
        m_text.append(content.mid(copiedUpTo));
    }

    // The last line end of the file starts no further line.
    QString text() const { return m_text; }

private:
    QString m_text;
    bool m_lineEnded = false;
    bool m_afterCr = false;
};

} // namespace

std::optional<QString> RelayLogReader::ReadRelayLog(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    // Room for the usual growth (one character per line end); more only costs a reallocation.
    LineEndRewriter rewriter(file.size() + file.size() / 16 + 16);
    while (true) {
        const QByteArray chunk = file.read(kChunkBytes);
        if (file.error() != QFileDevice::NoError) {
            return std::nullopt;
        }
        if (chunk.isEmpty()) {
            break;
        }
        rewriter.feed(fromAnsi(chunk));
    }
    return rewriter.text();
}

QString RelayLogReader::fromFileContent(QStringView content)
{
    LineEndRewriter rewriter(content.size() + content.size() / 16);
    rewriter.feed(content);
    return rewriter.text();
}

} // namespace garrison
