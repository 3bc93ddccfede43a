#pragma once

#include <QPlainTextEdit>
#include <QString>

namespace garrison {

// A read-only multi-line text box that keeps its text exactly as given (CR LF line ends,
// lone CRs and all), while the view shows it with ordinary line breaks. Appending costs what
// is appended, not what the box already holds.
class ConsoleBox : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit ConsoleBox(QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    void appendText(const QString& text);
    void clearText();
    // Puts the caret after the last character and scrolls it into view.
    void moveCaretToEnd();

private:
    static QString forDisplay(const QString& text);

    QString m_text;
};

} // namespace garrison
