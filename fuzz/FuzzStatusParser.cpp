#include "ReferenceTextLines.h"
#include "rcon/RconDatagram.h"
#include "rcon/ReplyRouter.h"
#include "rcon/StatusParser.h"
#include "rcon/TextLines.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace garrison;

using garrison::test::collapseByRepetition;

// Any datagram goes through reception, the status cut and the reply parses without harm, and
// the one-pass blank-line collapse agrees with the repeated replacement it stands for.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString reply = RconDatagram::cleanReply(datagram);

    const QString cleaned = StatusParser::Cleanup(reply);
    const StatusParser::GridFill fill = StatusParser::FillGrid(cleaned);
    if (fill.lineCount != GetLineCount(cleaned) || fill.rows.isEmpty() ||
        fill.playerCountText.toInt() != fill.rows.size() - 1) {
        std::abort();
    }
    if (collapseBlankLines(reply) != collapseByRepetition(reply)) {
        std::abort();
    }
    if (GetTextboxLine(cleaned, fill.lineCount) != splitLines(cleaned).constLast()) {
        std::abort();
    }

    ReplyRouter::route(reply);
    ReplyRouter::indicatorIsOn(reply, QStringLiteral("g_allowVote"), QStringLiteral("1"));
    ReplyRouter::parseHostName(reply);
    ReplyRouter::isInvalidPassword(ReplyRouter::parseMapName(reply));
    ReplyRouter::publishList(reply);
    StripColourCodes(reply);
    return 0;
}
