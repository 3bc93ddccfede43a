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
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
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
