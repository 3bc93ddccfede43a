#include "TestMain.h"
#include "platform/ColourContrast.h"
#include "platform/ConsoleBox.h"
#include "platform/ReadableColours.h"

using namespace garrison;

namespace {

// What the view shows for a text: CR LF is a line break, other CRs are not shown.
QString shown(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).remove(QLatin1Char('\r'));
}

QString lines(int first, int count)
{
    QString text;
    for (int i = first; i < first + count; ++i) {
        text += QStringLiteral("line %1 of the console\r\n").arg(i);
    }
    return text;
}

} // namespace

class TestConsoleBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The text and the view stay one: after appends past the limit, truncations at and
    // between appends, and a long text that fills the view in slices while more is appended.
    void viewFollowsTheText_data()
    {
        QTest::addColumn<qsizetype>("limit");
        QTest::addColumn<int>("appends");
        QTest::addColumn<qsizetype>("truncateBy");
        QTest::addColumn<bool>("startLong");
        QTest::addColumn<int>("appendLines");
        QTest::newRow("past the limit") << qsizetype(4000) << 60 << qsizetype(0) << false << 3;
        QTest::newRow("truncated at an append") << qsizetype(0) << 5 << qsizetype(-1) << false << 3;
        QTest::newRow("truncated inside one") << qsizetype(0) << 5 << qsizetype(7) << false << 3;
        QTest::newRow("long text, appended while it fills")
            << qsizetype(0) << 3 << qsizetype(0) << true << 3;
        QTest::newRow("long text, truncated while it fills")
            << qsizetype(0) << 3 << qsizetype(11) << true << 3;
        // Shown in slices too, so that no single turn of the event loop takes it all.
        QTest::newRow("an append too long for one turn")
            << qsizetype(0) << 1 << qsizetype(0) << false << 20000;
    }
    void viewFollowsTheText()
    {
        QFETCH(qsizetype, limit);
        QFETCH(int, appends);
        QFETCH(qsizetype, truncateBy);
        QFETCH(bool, startLong);
        QFETCH(int, appendLines);
        ConsoleBox box;
        box.setLimit(limit);
        QString expected = startLong ? lines(0, 40000) : QString();
        box.setText(expected);
        if (startLong) {
            QVERIFY(box.toPlainText().size() < shown(expected).size());
        }
        for (int i = 0; i < appends; ++i) {
            box.appendText(lines(100000 + i * 3, appendLines));
            expected += lines(100000 + i * 3, appendLines);
        }
        if (appendLines > 1000) {
            QVERIFY(box.toPlainText().size() < shown(expected).size());
        }
        if (truncateBy != 0) {
            const qsizetype cut = truncateBy < 0 ? box.text().size() - lines(100012, 3).size()
                                                 : box.text().size() - truncateBy;
            box.truncateText(cut);
            expected.truncate(cut);
        }
        QTRY_COMPARE_WITH_TIMEOUT(box.toPlainText().size(), shown(box.text()).size(), 10000);
        QCOMPARE(box.toPlainText(), shown(box.text()));
        if (limit > 0) {
            QVERIFY(box.text().size() <= limit);
            QVERIFY(box.text().startsWith(ConsoleBox::kDroppedNotice + QStringLiteral("\r\n")));
            QVERIFY(expected.endsWith(box.text().sliced(ConsoleBox::kDroppedNotice.size() + 2)));
        } else {
            QCOMPARE(box.text(), expected);
        }
    }

    // The transcript boxes keep the theme's text colour on a background that it reads on.
    void transcriptReadsInBothThemes_data()
    {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<QColor>("text");
        QTest::newRow("light") << QColor(Qt::white) << QColor(Qt::black);
        QTest::newRow("dark") << QColor(0x20, 0x20, 0x20) << QColor(0xF0, 0xF0, 0xF0);
    }
    void transcriptReadsInBothThemes()
    {
        QFETCH(QColor, window);
        QFETCH(QColor, text);
        QPalette theme;
        theme.setColor(QPalette::Window, window);
        theme.setColor(QPalette::Base, window);
        theme.setColor(QPalette::Text, text);
        ConsoleBox box;
        ReadableColours::setTranscriptBackground(box, theme);
        QCOMPARE(box.palette().color(QPalette::Text), text);
        QVERIFY(ColourContrast::ratio(box.palette().color(QPalette::Text).rgb(),
                                      box.palette().color(QPalette::Base).rgb()) >= 4.5);
    }
};

GARRISON_TEST_MAIN(TestConsoleBox)
#include "TestConsoleBox.moc"
