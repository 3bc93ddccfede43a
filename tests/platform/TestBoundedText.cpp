#include "TestMain.h"
#include "TextRows.h"
#include "platform/BoundedText.h"

using namespace garrison;
using garrison::test::addTextRows;

class TestBoundedText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keepNewest_data()
    {
        // 16 characters, limit 12: keep about 9, from the next line on.
        addTextRows({"text", "limit", "kept"},
                    {{"within the limit", "ab\r\ncd", "6", "ab\r\ncd"},
                     {"cut after the next line break", "aaaa\r\nbbbb\r\ncccc", "12", "cccc"},
                     {"no line break: cut where it falls", "0123456789abcdef", "12", "789abcdef"},
                     {"cut right before a line break", "0123456\r\n9abcdef", "12", "9abcdef"},
                     {"cut between CR and LF keeps no half break", "012345\r\n89abcdef", "12",
                      "89abcdef"}});
    }
    void keepNewest()
    {
        QFETCH(QString, text);
        QFETCH(QString, limit);
        QFETCH(QString, kept);
        const qsizetype before = text.size();
        QCOMPARE(BoundedText::keepNewest(text, limit.toLongLong()), before - kept.size());
        QCOMPARE(text, kept);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestBoundedText)
#include "TestBoundedText.moc"
