#include "SimRequest.h"

#include "SimText.h"

namespace garrison::sim {

namespace {
constexpr QByteArrayView kMarker("\xFF\xFF\xFF\xFF", 4);
constexpr QByteArrayView kVerb("rcon ");
} // namespace

std::optional<SimRequest> SimRequest::parse(QByteArrayView datagram)
{
    if (datagram.size() > kMaxDatagram || !datagram.startsWith(kMarker)) {
        return std::nullopt;
    }
    QByteArrayView rest = datagram.sliced(kMarker.size());
    // The engine reads the packet as a C string: everything after a NUL is unseen.
    if (const qsizetype nul = rest.indexOf('\0'); nul >= 0) {
        rest.truncate(nul);
    }
    if (rest.size() < kVerb.size() ||
        QByteArrayView(rest.first(kVerb.size())).compare(kVerb, Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    rest = rest.sliced(kVerb.size());
    const qsizetype blank = rest.indexOf(' ');
    if (blank < 0) {
        return std::nullopt;
    }
    SimRequest request;
    request.password = SimText::fromWire(rest.first(blank));
    // Line ends some clients add are not part of the command.
    QByteArrayView command = rest.sliced(blank + 1);
    while (!command.isEmpty() && (command.back() == '\n' || command.back() == '\r')) {
        command.chop(1);
    }
    if (command.trimmed().isEmpty()) {
        return std::nullopt;
    }
    request.command = SimText::fromWire(command);
    return request;
}

QByteArray SimRequest::encode(const QString& password, const QString& command)
{
    return kMarker.toByteArray() + kVerb.toByteArray() + SimText::toWire(password) + ' ' +
           SimText::toWire(command);
}

} // namespace garrison::sim
