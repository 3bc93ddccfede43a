#include "ConsoleBox.h"

#include "platform/BoundedText.h"

#include <QScrollBar>
#include <QTextCursor>

namespace garrison {

ConsoleBox::ConsoleBox(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_marks.assign(1, {0, 0});
    m_filling.setSingleShot(true);
    m_filling.setInterval(0);
    connect(&m_filling, &QTimer::timeout, this, &ConsoleBox::showSlice);
}

QString ConsoleBox::forDisplay(const QString& text)
{
    QString shown = text;
    // Only CR LF ends a line, as in the edit boxes these texts were made for; a stray CR (the
    // relay log's joins are CR CR LF) is not shown.
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.remove(QLatin1Char('\r'));
    // NUL and other controls would confuse the text layout; they stay in text() unchanged.
    for (QChar& c : shown) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\t')) {
            c = QChar(0xFFFD);
        }
    }
    return shown;
}

int ConsoleBox::shownEnd() const
{
    return document()->characterCount() - 1;
}

bool ConsoleBox::filling() const
{
    return m_shownUpTo < m_text.size();
}

void ConsoleBox::setText(const QString& text)
{
    m_text = text;
    if (m_limit > 0) {
        const qsizetype drop = BoundedText::oldestToDrop(m_text, m_limit);
        if (drop > 0) {
            m_text.remove(0, drop);
            m_text.prepend(kDroppedNotice + QStringLiteral("\r\n"));
        }
    }
    m_filling.stop();
    m_caretToEnd = false;
    setPlainText(QString());
    m_shownUpTo = 0;
    m_marks.assign(1, {0, 0});
    showSlice();
}

// A long text goes into the view a slice at a time, each from the event loop, so that a big
// log never holds the window for long; text() has it all at once.
void ConsoleBox::showSlice()
{
    qsizetype end = std::min(m_text.size(), m_shownUpTo + kSliceChars);
    if (end < m_text.size()) {
        const qsizetype lineBreak = QStringView(m_text)
                                        .sliced(end)
                                        .first(std::min<qsizetype>(4096, m_text.size() - end))
                                        .indexOf(u"\r\n");
        end = lineBreak >= 0 ? end + lineBreak + 2 : end;
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(forDisplay(m_text.sliced(m_shownUpTo, end - m_shownUpTo)));
    m_shownUpTo = end;
    if (filling()) {
        m_filling.start();
        return;
    }
    m_marks.emplace_back(m_text.size(), shownEnd());
    if (m_caretToEnd) {
        m_caretToEnd = false;
        moveCaretToEnd();
    }
}

void ConsoleBox::appendText(const QString& text)
{
    if (text.isEmpty()) {
        return;
    }
    if (text.size() > kSliceChars && !m_filling.isActive()) {
        // Too much for one turn of the event loop: the box fills again, a slice at a time.
        setText(m_text + text);
        return;
    }
    m_text += text;
    if (m_filling.isActive()) {
        return; // the fill shows it in its turn
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(forDisplay(text));
    m_shownUpTo = m_text.size();
    m_marks.emplace_back(m_text.size(), shownEnd());
    dropOldest();
}

void ConsoleBox::truncateText(qsizetype length)
{
    if (length >= m_text.size()) {
        return;
    }
    while (!m_marks.empty() && m_marks.back().first > length) {
        m_marks.pop_back();
    }
    if (filling() || m_marks.empty() || m_marks.back().first != length) {
        setText(m_text.left(length));
        return;
    }
    m_text.truncate(length);
    m_shownUpTo = length;
    QTextCursor cursor(document());
    cursor.setPosition(m_marks.back().second);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void ConsoleBox::dropOldest()
{
    if (m_limit <= 0) {
        return;
    }
    const qsizetype drop = BoundedText::oldestToDrop(m_text, m_limit);
    if (drop == 0) {
        return;
    }
    const QString notice = kDroppedNotice + QStringLiteral("\r\n");
    const int shownDrop = int(forDisplay(m_text.left(drop)).size());
    m_text.remove(0, drop);
    m_text.prepend(notice);
    m_shownUpTo = m_text.size();
    QTextCursor cursor(document());
    cursor.setPosition(shownDrop, QTextCursor::KeepAnchor);
    cursor.insertText(forDisplay(notice));
    m_marks.clear();
}

void ConsoleBox::clearText()
{
    m_filling.stop();
    m_text.clear();
    clear();
    m_shownUpTo = 0;
    m_marks.assign(1, {0, 0});
}

void ConsoleBox::moveCaretToEnd()
{
    // Once the fill has shown everything, again.
    m_caretToEnd = m_filling.isActive();
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    ensureCursorVisible();
}

} // namespace garrison
