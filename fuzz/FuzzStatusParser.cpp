#include "ReferenceTextLines.h"
#include "rcon/RconDatagram.h"
#include "rcon/ReplyRouter.h"
#include "rcon/ServerRefusals.h"
#include "rcon/StatusParser.h"
#include "rcon/TextLines.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace garrison;

using garrison::test::collapseByRepetition;

namespace {

bool isDigits(const QString& text)
{
    return !text.isEmpty() &&
           std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

bool isHexGuid(const QString& text)
{
    return text.size() == 32 && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
               return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') ||
                      (c >= u'A' && c <= u'F');
           });
}

// What every row promises to the grid, the player menu and the history.
bool wellFormed(const PlayerRow& row)
{
    const QString& name = row[PlayerRow::Name];
    const QString& address = row[PlayerRow::Address];
    return !name.isEmpty() && name.front() > u' ' && name.back() > u' ' &&
           isDigits(row[PlayerRow::Slot]) &&
           (row[PlayerRow::Guid].isEmpty() || isDigits(row[PlayerRow::Guid]) ||
            isHexGuid(row[PlayerRow::Guid])) &&
           !address.isEmpty() && StripColourCodes(address) == address && !address.contains(u' ');
}

} // namespace

// Any datagram goes through reception, the status parser and the reply parses without harm;
// every row the parser gives is clean; the one-pass blank-line collapse agrees with the repeated
// replacement it stands for.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString reply = RconDatagram::cleanReply(datagram);

    const StatusParser::StatusTable table = StatusParser::parse(reply);
    if (table.rows.size() > reply.count(u'\n') + 1) {
        std::abort();
    }
    for (const PlayerRow& row : table.rows) {
        if (!wellFormed(row)) {
            std::abort();
        }
    }
    for (const QStringView line : QStringView(reply).tokenize(u'\n')) {
        const std::optional<PlayerRow> row = StatusParser::parsePlayerLine(line);
        if (row && !wellFormed(*row)) {
            std::abort();
        }
    }
    if (collapseBlankLines(reply) != collapseByRepetition(reply)) {
        std::abort();
    }

    ReplyRouter::route(reply);
    ReplyRouter::indicatorIsOn(reply, QStringLiteral("g_allowVote"), QStringLiteral("1"));
    ReplyRouter::parseHostName(reply);
    ReplyRouter::parseMapName(reply);
    ReplyRouter::isInvalidPassword(reply);
    ReplyRouter::publishList(reply);
    ServerRefusals::find(reply);
    StripColourCodes(reply);
    return 0;
}
