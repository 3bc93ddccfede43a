#pragma once

#include <QString>
#include <QStringView>

namespace garrison {

// Keeps a text that only grows at its end within a limit by dropping its oldest part. Used
// for what is only shown or parsed again (console, reply accumulators), never for what the
// user keeps.
class BoundedText {
public:
    // Far above a full status reply (under 8 KB) and an evening of "status" replies.
    static constexpr qsizetype kReplyAccumulatorChars = 1024 * 1024;
    // Ban lists of tens of thousands of entries still fit.
    static constexpr qsizetype kListBufferChars = 8 * 1024 * 1024;

    // How many of the oldest characters to drop so that about three quarters of limit remain;
    // the cut falls after a CR LF when there is one nearby. 0 while text is within the limit.
    static qsizetype oldestToDrop(QStringView text, qsizetype limit);
    // Drops them; returns how many went.
    static qsizetype keepNewest(QString& text, qsizetype limit);
};

} // namespace garrison
