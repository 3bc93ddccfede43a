#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace garrison::sim {

// Collects what a command prints into reply datagrams the way the engine's redirect buffer does:
// a print that no longer fits sends what has gathered first, so a cut can fall inside a line.
// Every datagram carries the header "\xFF\xFF\xFF\xFFprint\n".
class SimRedirectBuffer {
public:
    static constexpr qsizetype kCapacity = 1008;
    // One byte of the engine's buffer holds the terminator.
    static constexpr qsizetype kRoom = kCapacity - 1;
    static const QByteArray kHeader;

    SimRedirectBuffer();

    void print(QStringView text);
    // The engine pads with one print per blank.
    void printBlanks(int count);
    // At least one datagram, even for a command that printed nothing.
    QList<QByteArray> finish();

    static QByteArray datagram(QStringView text);
    // The text of a reply: each datagram without its header, in order.
    static QString join(const QList<QByteArray>& datagrams);

private:
    void append(QByteArrayView bytes);
    void flush();

    QList<QByteArray> m_datagrams;
    QByteArray m_buffer;
};

} // namespace garrison::sim
