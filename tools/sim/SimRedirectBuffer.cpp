#include "SimRedirectBuffer.h"

#include "SimText.h"

#include <utility>

namespace garrison::sim {

const QByteArray SimRedirectBuffer::kHeader = QByteArrayLiteral("\xFF\xFF\xFF\xFFprint\n");

SimRedirectBuffer::SimRedirectBuffer() : m_buffer(kHeader)
{
    m_buffer.reserve(kHeader.size() + kRoom);
}

void SimRedirectBuffer::print(QStringView text)
{
    append(SimText::toWire(text));
}

void SimRedirectBuffer::printBlanks(int count)
{
    for (int i = 0; i < count; ++i) {
        append(" ");
    }
}

void SimRedirectBuffer::append(QByteArrayView bytes)
{
    const qsizetype used = m_buffer.size() - kHeader.size();
    if (used > 0 && used + bytes.size() > kRoom) {
        flush();
    }
    // A print larger than the whole buffer is cut where the buffer is full.
    while (bytes.size() > kRoom) {
        m_buffer.append(bytes.first(kRoom));
        bytes = bytes.sliced(kRoom);
        flush();
    }
    m_buffer.append(bytes);
}

void SimRedirectBuffer::flush()
{
    m_datagrams.append(m_buffer);
    m_buffer.truncate(kHeader.size());
}

QList<QByteArray> SimRedirectBuffer::finish()
{
    if (m_buffer.size() > kHeader.size() || m_datagrams.isEmpty()) {
        flush();
    }
    return std::exchange(m_datagrams, {});
}

QByteArray SimRedirectBuffer::datagram(QStringView text)
{
    return kHeader + SimText::toWire(text);
}

QString SimRedirectBuffer::join(const QList<QByteArray>& datagrams)
{
    QString text;
    for (const QByteArray& datagram : datagrams) {
        const QByteArrayView bytes(datagram);
        text += SimText::fromWire(bytes.startsWith(kHeader) ? bytes.sliced(kHeader.size()) : bytes);
    }
    return text;
}

} // namespace garrison::sim
