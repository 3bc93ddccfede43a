#include "ConsoleBox.h"

#include <QScrollBar>
#include <QTextCursor>

namespace garrison {

ConsoleBox::ConsoleBox(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
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

void ConsoleBox::setText(const QString& text)
{
    m_text = text;
    setPlainText(forDisplay(text));
}

void ConsoleBox::appendText(const QString& text)
{
    if (text.isEmpty()) {
        return;
    }
    // A CR LF split across two appends would show as two line breaks; rare and harmless.
    m_text += text;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(forDisplay(text));
}

void ConsoleBox::clearText()
{
    m_text.clear();
    clear();
}

void ConsoleBox::moveCaretToEnd()
{
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    ensureCursorVisible();
}

} // namespace garrison
