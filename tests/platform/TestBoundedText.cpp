#include "TestMain.h"
#include "platform/BoundedText.h"

using namespace garrison;

class TestBoundedText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keepNewest_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("limit");
        QTest::addColumn<QString>("kept");
        QTest::newRow("within the limit")
            << QStringLiteral("ab\r\ncd") << qsizetype(6) << QStringLiteral("ab\r\ncd");
        // 16 characters, limit 12: keep about 9, from the next line on.
        QTest::newRow("cut after the next line break")
            << QStringLiteral("aaaa\r\nbbbb\r\ncccc") << qsizetype(12) << QStringLiteral("cccc");
        QTest::newRow("no line break: cut where it falls")
            << QStringLiteral("0123456789abcdef") << qsizetype(12) << QStringLiteral("789abcdef");
        QTest::newRow("cut right before a line break")
            << QStringLiteral("0123456\r\n9abcdef") << qsizetype(12) << QStringLiteral("9abcdef");
        QTest::newRow("cut between CR and LF keeps no half break")
            << QStringLiteral("012345\r\n89abcdef") << qsizetype(12) << QStringLiteral("89abcdef");
    }
    void keepNewest()
    {
        QFETCH(QString, text);
        QFETCH(qsizetype, limit);
        QFETCH(QString, kept);
        const qsizetype before = text.size();
        QCOMPARE(BoundedText::keepNewest(text, limit), before - kept.size());
        QCOMPARE(text, kept);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestBoundedText)
#include "TestBoundedText.moc"
