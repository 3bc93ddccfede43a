#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QTimer>
#include <utility>
#include <vector>

namespace garrison {

// A read-only multi-line text box that keeps its text exactly as given (CR LF line ends,
// lone CRs and all), while the view shows it with ordinary line breaks. Appending costs what
// is appended, not what the box already holds; a long text fills the view in slices; a box
// with a limit drops its oldest lines and says so in its first line.
class ConsoleBox : public QPlainTextEdit {
    Q_OBJECT

public:
    // The first line of a box that has dropped its oldest text to stay within its limit.
    static inline const QString kDroppedNotice =
        QStringLiteral("[Older lines were dropped to keep this box within its size.]");

    // The console's limit: 8 MB of text, far more than anyone scrolls back through.
    static constexpr qsizetype kConsoleLimit = 4 * 1024 * 1024;

    explicit ConsoleBox(QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    void appendText(const QString& text);
    // Keeps only the first length characters.
    void truncateText(qsizetype length);
    void clearText();
    // Puts the caret after the last character and scrolls it into view.
    void moveCaretToEnd();

    // Above this many characters the oldest lines go (0: no limit).
    void setLimit(qsizetype characters) { m_limit = characters; }

private:
    static constexpr qsizetype kSliceChars = 256 * 1024;

    static QString forDisplay(const QString& text);
    int shownEnd() const;
    bool filling() const;
    void showSlice();
    void dropOldest();

    QString m_text;
    qsizetype m_limit = 0;
    // The view shows the text up to here; the rest follows from the event loop.
    qsizetype m_shownUpTo = 0;
    QTimer m_filling;
    bool m_caretToEnd = false;
    // After each change: the length of the text and of what is shown, where a later truncation
    // can cut the view without rebuilding it.
    std::vector<std::pair<qsizetype, int>> m_marks;
};

} // namespace garrison
