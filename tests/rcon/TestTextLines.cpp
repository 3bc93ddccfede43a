#include "ReferenceTextLines.h"
#include "rcon/TextLines.h"
#include "support/TestMain.h"
#include "support/TextRows.h"

#include <QTest>

using namespace garrison;

using garrison::test::collapseByRepetition;

class TestTextLines : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // StripColourCodes, and the collapse of blank lines (which must agree with the definition).
    void textToText_data()
    {
        test::addTextRows(
            {"function", "text", "expected"},
            {{"no codes", "strip", "plain", "plain"},
             {"every code", "strip", "^0a^1b^2c^3d^4e^5f^6g^7h", "abcdefgh"},
             {"name", "strip", "^1Red^7Baron^7", "RedBaron"},
             {"other carets stay", "strip", "^8x^a^^ ^", "^8x^a^^ ^"},
             {"later code frees an earlier one", "strip", "^^70", "^0"},
             {"one pass per code", "strip", "^^11", "^1"},
             {"nothing to collapse", "collapse", "a\r\nb", "a\r\nb"},
             {"one blank line", "collapse", "a\r\n\r\nb", "a\r\nb"},
             {"long run", "collapse", "a\r\n\r\n\r\n\r\n\r\nb", "a\r\nb"},
             {"leading and trailing", "collapse", "\r\n\r\na\r\n\r\n", "\r\na\r\n"},
             {"blanks are not blank lines", "collapse", "a\r\n \r\n\r\nb", "a\r\n \r\nb"},
             {"CR before a run", "collapse", "\r\r\n\r\n\n", "\r\r\n\n"},
             {"lone LF between", "collapse", "\r\n\n\r\n", "\r\n\n\r\n"},
             {"odd CR at the end", "collapse", "\r\n\r\n\r", "\r\n\r"},
             {"empty", "collapse", "", ""}});
    }
    void textToText()
    {
        QFETCH(QString, function);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        if (function == QLatin1String("strip")) {
            QCOMPARE(StripColourCodes(text), expected);
        } else {
            QCOMPARE(garrison::collapseBlankLines(text), expected);
            QCOMPARE(collapseByRepetition(text), expected);
        }
    }

    void lines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty text has one line") << "" << QStringList{""};
        QTest::newRow("one line") << "a" << QStringList{"a"};
        QTest::newRow("three lines") << "a\r\nb\r\nc" << QStringList{"a", "b", "c"};
        QTest::newRow("ends with a break") << "a\r\n" << QStringList{"a", ""};
        QTest::newRow("only breaks") << "\r\n\r\n" << QStringList{"", "", ""};
        QTest::newRow("lone LF and CR stay in the line") << "a\nb\rc" << QStringList{"a\nb\rc"};
        QTest::newRow("CR before the break") << "a\r\r\nb" << QStringList{"a\r", "b"};
        QTest::newRow("blank line") << "a\r\n   \r\nb" << QStringList{"a", "   ", "b"};
    }
    void lines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(GetLineCount(text), lines.size());
        QCOMPARE(splitLines(text), lines);
        QStringList viewed;
        for (QStringView line : lineViews(text)) {
            viewed.append(line.toString());
        }
        QCOMPARE(viewed, lines);
        for (int n = 1; n <= lines.size(); ++n) {
            QCOMPARE(GetTextboxLine(text, n), lines.at(n - 1));
        }
        QCOMPARE(GetTextboxLine(text, 0), QString());
        QCOMPARE(GetTextboxLine(text, -1), QString());
        QCOMPARE(GetTextboxLine(text, static_cast<int>(lines.size()) + 1), QString());
    }
};

GARRISON_TEST_GUILESS_MAIN(TestTextLines)
#include "TestTextLines.moc"
