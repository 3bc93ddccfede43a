#include "FakeDialogs.h"
#include "RecordingSender.h"
#include "TestMain.h"
#include "TextRows.h"
#include "control/ChatPage.h"
#include "platform/ConsoleBox.h"

#include <QLineEdit>
#include <QPushButton>

using namespace garrison;
using garrison::test::addTextRows;
using garrison::test::FakeDialogs;
using garrison::test::RecordingSender;

namespace {
// Every field a single digit but the year: each one is zero-padded.
const QDateTime kNow(QDate(2026, 1, 4), QTime(3, 5, 9));
} // namespace

class TestChatPage : public QObject {
    Q_OBJECT

    FakeDialogs m_dialogs;
    RecordingSender m_sender;
    std::unique_ptr<ChatPage> m_page;

    QLineEdit* input() { return m_page->findChild<QLineEdit*>(QStringLiteral("txtsay1")); }
    ConsoleBox* transcript() { return m_page->findChild<ConsoleBox*>(QStringLiteral("txtsay2")); }
    void press(const QString& button)
    {
        auto* widget = m_page->findChild<QPushButton*>(button);
        QVERIFY2(widget, qPrintable(button));
        QTest::mouseClick(widget, Qt::LeftButton);
    }
    void enter() { QTest::keyClick(input(), Qt::Key_Return); }

private Q_SLOTS:
    void init()
    {
        m_sender = {};
        m_page = std::make_unique<ChatPage>(m_sender, m_dialogs);
        m_page->setClock([] { return kNow; });
        m_page->show();
    }
    void cleanup() { m_page.reset(); }

    // Colour buttons pressed first, split at blanks; no command: nothing said, nothing logged.
    void enterSaysAndLogs_data()
    {
        addTextRows(
            {"typed", "buttons", "command"},
            {{"plain", "hello", "", "say hello"},
             {"outer blanks trimmed, inner kept", "   two   words  ", "", "say two   words"},
             {"empty sends nothing", "", "", ""},
             {"only blanks send nothing", "     ", "", ""},
             {"pasted tab is no blank", "\thi ", "", "say \thi"},
             {"red then typed", "Hi", "Command6", "say ^1Hi"},
             {"two colours", "x", "Command12 Command13", "say ^7 ^0x"}});
    }
    void enterSaysAndLogs()
    {
        QFETCH(QString, typed);
        QFETCH(QString, buttons);
        QFETCH(QString, command);
        input()->clear();
        for (const QString& button : buttons.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            press(button);
        }
        // Typed at the caret, which the colour buttons leave at the end; a tab cannot be typed.
        if (typed.contains(QLatin1Char('\t'))) {
            input()->insert(typed);
        } else {
            QTest::keyClicks(input(), typed);
        }
        enter();

        if (command.isEmpty()) {
            QVERIFY(m_sender.sent.isEmpty());
            QVERIFY(transcript()->text().isEmpty());
            return;
        }
        QCOMPARE(m_sender.sent, QStringList{command});
        QCOMPARE(transcript()->text(),
                 "[01.04.2026 03:05:09]-> You Said: " + command.mid(QStringLiteral("say ").size()));
        QVERIFY(input()->text().isEmpty());
        QCOMPARE(transcript()->textCursor().position(),
                 transcript()->document()->characterCount() - 1);
    }

    void laterLinesFollowAfterCrLf()
    {
        m_page->setTranscript(QStringLiteral("relay line"));
        input()->clear();
        QTest::keyClicks(input(), QStringLiteral("a"));
        enter();
        QTest::keyClicks(input(), QStringLiteral("b"));
        enter();
        QCOMPARE(m_page->transcript(),
                 QStringLiteral("relay line\r\n[01.04.2026 03:05:09]-> You Said: a"
                                "\r\n[01.04.2026 03:05:09]-> You Said: b"));
    }

    // A new session empties the page; relay lines that the tail adds after it follow alone.
    void newSessionShowsOnlyNewRelayLines()
    {
        const QString old = QStringLiteral("a - one\r\r\n");
        m_page->setTranscript(old);
        QTest::keyClicks(input(), QStringLiteral("x"));
        enter();
        input()->setText(QStringLiteral("draft"));
        m_page->startSession();
        QCOMPARE(m_page->transcript(), QString());
        QCOMPARE(input()->text(), QString());
        m_page->showLogChange(old.size(), QStringLiteral("b - two"),
                              old + QStringLiteral("b - two"));
        QCOMPARE(m_page->transcript(), QStringLiteral("b - two"));
    }

    // Command6 to Command13 append the codes 1 to 7, then 0.
    void colourButtonAppendsAndFocuses_data()
    {
        QTest::addColumn<QString>("code");
        for (int i = 0; i < 8; ++i) {
            QTest::addRow("Command%d", 6 + i) << QStringLiteral(" ^%1").arg((i + 1) % 8);
        }
    }
    void colourButtonAppendsAndFocuses()
    {
        QFETCH(QString, code);
        input()->setText(QStringLiteral("ab"));
        input()->setCursorPosition(0);
        press(QLatin1String(QTest::currentDataTag()));
        QCOMPARE(input()->text(), "ab" + code);
        QCOMPARE(input()->cursorPosition(), input()->text().size());
        QCOMPARE(m_page->focusWidget(), input());
        QVERIFY(m_sender.sent.isEmpty());
    }
};

GARRISON_TEST_MAIN(TestChatPage)
#include "TestChatPage.moc"
