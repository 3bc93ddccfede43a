#include "RelayLogFollower.h"

#include "platform/AnsiText.h"

#include <QFile>

namespace garrison {

namespace {
// What is compared of the bytes already read, at the start and before the end.
constexpr qsizetype kHeadBytes = 4096;
constexpr qsizetype kTailBytes = 256;
constexpr qint64 kReadBackChunk = 256 * 1024;
} // namespace

bool RelayLogFollower::stillTheSameFile(QIODevice& file, qint64 size) const
{
    if (size < m_offset) {
        return false;
    }
    if (m_offset == 0) {
        return true;
    }
    if (!file.seek(0) || file.read(m_head.size()) != m_head) {
        return false;
    }
    return file.seek(m_offset - m_tail.size()) && file.read(m_tail.size()) == m_tail;
}

std::optional<RelayLogFollower::Piece> RelayLogFollower::read(qint64 maxBytes)
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const qint64 size = file.size();
    Piece piece;
    if (!stillTheSameFile(file, size)) {
        piece.restarted = true;
        m_offset = 0;
        m_head.clear();
        m_tail.clear();
        m_lineEnds = RelayLineEnds();
    }
    if (!file.seek(m_offset)) {
        return std::nullopt;
    }
    QByteArray bytes = file.read(std::min(maxBytes, size - m_offset));
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    // A slice short of the end stops after a line end, so that the tail meets a line cut in
    // two only where the relay is still writing it.
    if (m_offset + bytes.size() < size) {
        const qsizetype lineEnd = std::max(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r'));
        if (lineEnd >= 0) {
            bytes.truncate(lineEnd + 1);
        }
    }
    if (m_head.size() < kHeadBytes) {
        m_head += bytes.first(std::min(bytes.size(), kHeadBytes - m_head.size()));
    }
    m_tail = (m_tail + bytes).right(kTailBytes);
    m_offset += bytes.size();
    piece.more = m_offset < size;
    m_lineEnds.feed(fromAnsi(bytes), piece.text);
    return piece;
}

QString RelayLogFollower::readBack(const QString& path, qint64 bytes)
{
    QString text;
    QFile file(path);
    if (bytes <= 0 || !file.open(QIODevice::ReadOnly)) {
        return text;
    }
    text.reserve(bytes + bytes / 16);
    RelayLineEnds lineEnds;
    for (qint64 at = 0; at < bytes;) {
        const QByteArray chunk = file.read(std::min(kReadBackChunk, bytes - at));
        if (chunk.isEmpty()) {
            break;
        }
        lineEnds.feed(fromAnsi(chunk), text);
        at += chunk.size();
    }
    return text;
}

} // namespace garrison
