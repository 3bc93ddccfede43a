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
    void stripColourCodes_data()
    {
        test::addTextRows({"text", "expected"},
                          {
                              {"none", "plain", "plain"},
                              {"every code", "^0a^1b^2c^3d^4e^5f^6g^7h", "abcdefgh"},
                              {"name", "^1Red^7Baron^7", "RedBaron"},
                              {"other carets stay", "^8x^a^^ ^", "^8x^a^^ ^"},
                              {"later code frees an earlier one", "^^70", "^0"},
                              {"one pass per code", "^^11", "^1"},
                          });
    }
    void stripColourCodes()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(StripColourCodes(text), expected);
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

    void collapseBlankLines_data()
    {
        test::addTextRows({"text", "expected"},
                          {
                              {"nothing to do", "a\r\nb", "a\r\nb"},
                              {"one blank line", "a\r\n\r\nb", "a\r\nb"},
                              {"long run", "a\r\n\r\n\r\n\r\n\r\nb", "a\r\nb"},
                              {"leading and trailing", "\r\n\r\na\r\n\r\n", "\r\na\r\n"},
                              {"blanks are not blank lines", "a\r\n \r\n\r\nb", "a\r\n \r\nb"},
                              {"CR before a run", "\r\r\n\r\n\n", "\r\r\n\n"},
                              {"lone LF between", "\r\n\n\r\n", "\r\n\n\r\n"},
                              {"odd CR at the end", "\r\n\r\n\r", "\r\n\r"},
                              {"empty", "", ""},
                          });
    }
    void collapseBlankLines()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(garrison::collapseBlankLines(text), expected);
        QCOMPARE(collapseByRepetition(text), expected);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestTextLines)
#include "TestTextLines.moc"
