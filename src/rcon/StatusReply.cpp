#include "StatusReply.h"

#include "platform/BoundedText.h"

#include <utility>

namespace garrison {

namespace {

// Where the column header starts; -1 while it has not come.
qsizetype headerStart(const QString& text)
{
    for (const QLatin1String header :
         {QLatin1String("num score ping"), QLatin1String("cl score ping")}) {
        const qsizetype at = text.indexOf(header);
        if (at >= 0) {
            return at;
        }
    }
    return -1;
}

// The length of the whole table at the start of the text (up to and including its ending empty
// line), or 0 while it is not whole.
qsizetype wholeTableLength(const QString& text)
{
    const qsizetype header = headerStart(text);
    if (header < 0) {
        return 0;
    }
    static const QString kEmptyLine = QStringLiteral("\n\r\n");
    const qsizetype end = text.indexOf(kEmptyLine, header);
    return end < 0 ? 0 : end + kEmptyLine.size();
}

} // namespace

StatusReply::StatusReply(QObject* parent) : QObject(parent)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietGapMs);
    connect(&m_quiet, &QTimer::timeout, this, &StatusReply::quietGap);
}

void StatusReply::restart()
{
    discard();
}

void StatusReply::discard()
{
    m_quiet.stop();
    m_text.clear();
}

void StatusReply::append(const QString& replyText)
{
    m_text += replyText;
    BoundedText::keepNewest(m_text, BoundedText::kReplyAccumulatorChars);
    // Replies can stand back to back: each whole table goes on its own.
    while (const qsizetype length = wholeTableLength(m_text)) {
        const QString table = m_text.left(length);
        m_text.remove(0, length);
        Q_EMIT tableReady(StatusParser::parse(table));
    }
    if (m_text.isEmpty()) {
        m_quiet.stop();
    } else {
        m_quiet.start();
    }
}

// A table whose end got lost still shows what came; text without a table shows nothing.
void StatusReply::quietGap()
{
    const QString text = std::exchange(m_text, QString());
    if (headerStart(text) >= 0 || text.startsWith(QLatin1String("map:"))) {
        Q_EMIT tableReady(StatusParser::parse(text));
    }
}

} // namespace garrison
