#include "platform/AnsiText.h"
#include "rcon/InfoString.h"
#include "rcon/QueryResponse.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace garrison;

namespace {

void check(bool promise)
{
    if (!promise) {
        std::abort();
    }
}

bool isOneField(const QString& text)
{
    return !text.contains(u'\\') && !text.contains(u'\n');
}

} // namespace

// Any datagram, as a server's answer and as an info string: nothing breaks; every pair is one
// field each (a non-empty key); writing the pairs back gives the same pairs; every key is found
// again; player names hold no line end.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const InfoString info = InfoString::parse(fromAnsi(datagram));
    QString written;
    for (const auto& [key, value] : info.pairs()) {
        check(!key.isEmpty() && isOneField(key) && isOneField(value));
        check(info.find(key).has_value());
        info.number(key);
        written += u'\\' + key + u'\\' + value;
    }
    check(InfoString::parse(written) == info);

    if (const std::optional<QueryResponse> response = QueryResponse::parse(datagram)) {
        check(datagram.size() <= QueryResponse::kMaxDatagram);
        check(response->kind == QueryResponse::Kind::Status || response->players.isEmpty());
        for (const QueryPlayer& player : response->players) {
            check(!player.name.contains(u'\n'));
        }
        response->challenge();
        response->variables.without(u"challenge");
    }
    return 0;
}
