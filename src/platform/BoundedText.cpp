#include "BoundedText.h"

namespace garrison {

namespace {
// How far the cut may move to fall after a line break.
constexpr qsizetype kLineSearch = 4096;
} // namespace

qsizetype BoundedText::oldestToDrop(QStringView text, qsizetype limit)
{
    if (text.size() <= limit) {
        return 0;
    }
    // Dropping a quarter at a time keeps the cost of the copy rare.
    const qsizetype cut = text.size() - limit / 4 * 3;
    // From one character before, so that a cut between CR and LF moves past the LF.
    const qsizetype from = std::max<qsizetype>(0, cut - 1);
    const qsizetype lineBreak =
        text.sliced(from).first(std::min(kLineSearch, text.size() - from)).indexOf(u"\r\n");
    return lineBreak < 0 ? cut : from + lineBreak + 2;
}

qsizetype BoundedText::keepNewest(QString& text, qsizetype limit)
{
    const qsizetype drop = oldestToDrop(text, limit);
    if (drop > 0) {
        text.remove(0, drop);
    }
    return drop;
}

} // namespace garrison
