// The game log as the server may write it, or garble it: every line goes through the parser
// and the events, which must neither crash nor let an event line hold a line end of its own.

#include "GameEventSink.h"
#include "GameEvents.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace garrisond;

namespace {

struct Check : GameEventSink {
    void takeEvent(const GameEvent& event) override
    {
        const QByteArray wire = event.toWire();
        if (wire.indexOf('\n') != wire.size() - 1 || wire.contains('\r') ||
            !wire.startsWith("EVENT ")) {
            std::abort();
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Check check;
    static GameEvents* events = [] {
        auto* made = new GameEvents;
        made->configure(QString(), {QStringLiteral("hack"), QStringLiteral("^1cheat")},
                        QStringLiteral("!report"));
        made->addSink(&check);
        return made;
    }();
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    events->takeLines(bytes.split('\n'));
    return 0;
}
