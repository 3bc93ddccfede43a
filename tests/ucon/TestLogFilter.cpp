#include "LiteralLogFilter.h"
#include "TestMain.h"
#include "TextRows.h"
#include "ucon/LogFilter.h"
#include "ucon/RelayLogReader.h"

#include <QRandomGenerator>

using namespace garrison;
using garrison::test::visible;

namespace {

// Few, short pieces, so that lines are often parts of other lines and removals run into each
// other; the long ones reach the lookup of longer line texts.
const QStringList kPieces =
    QStringLiteral(u"a|b|ab|ba|ú|Ú|cvars|CVarS| |\r|\n|\n\r|aú|abababababababab|babaúbab")
        .split(u'|');

// A relay-like line is long enough for the lookup that starts at the lines' last characters.
QString randomLine(QRandomGenerator& random, const QStringList& earlier, bool relayLike)
{
    const int kind = int(random.bounded(10));
    if (kind == 0) {
        return {};
    }
    if (kind <= 2 && !earlier.isEmpty()) {
        const QString& other = earlier.at(random.bounded(earlier.size()));
        if (kind == 1) {
            return other;
        }
        const qsizetype from = random.bounded(other.size() + 1);
        return other.mid(from, random.bounded(other.size() - from + 1));
    }
    QString line;
    for (int i = relayLike ? int(random.bounded(12, 24)) : int(random.bounded(1, 6)); i > 0; --i) {
        line += kPieces.at(random.bounded(kPieces.size()));
    }
    return line;
}

QString randomLog(QRandomGenerator& random, int maxLines, bool relayLike)
{
    QStringList lines;
    for (int i = int(random.bounded(1, maxLines + 1)); i > 0; --i) {
        lines << randomLine(random, lines, relayLike);
    }
    const QString text = lines.join(QStringLiteral("\r\n"));
    // Half of the others the way the relay log reader hands them over.
    return !relayLike && random.bounded(2) == 0 ? text : RelayLogReader::fromFileContent(text);
}

// Which step of the fast filter gives another text than the literal one, if any.
QByteArray firstDifference(const QString& raw)
{
    if (LogFilter::CleanU(raw) != literal::CleanU(raw)) {
        return " (CleanU)";
    }
    if (LogFilter::CleanU2(raw) != literal::CleanU2(raw)) {
        return " (CleanU2)";
    }
    if (LogFilter::RemoveBlanks(raw) != literal::newclean(literal::RemoveBlanks(raw))) {
        return " (RemoveBlanks)";
    }
    if (LogFilter::MasterParse(raw) != literal::MasterParse(raw)) {
        return " (MasterParse)";
    }
    return {};
}

} // namespace

class TestLogFilter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanU_data()
    {
        test::addTextRows(
            {"text", "expected"},
            {{"removed line keeps its break", "noise\r\naú", "\r\naú"},
             {"removed text goes inside a kept line too", "abc\r\nx abc ú", "\r\nx  ú"},
             {"repeated line goes with the first", "n\r\naú\r\nn", "\r\naú\r\n"},
             {"capital marker counts", "aÚ\r\nb", "aÚ\r\n"},
             {"blank relay line takes every CR", "aú\r\r\n\r\r\nbú", "aú\n\nbú"},
             {"removal joins CR and LF into a new break", "Y\r\naú\rY\nbú", "\r\naú\r\nbú"},
             {"removal takes the LF of a break", "aú\r\nqú\r\n\nq", "aú\rú\r\n"},
             {"earlier removal makes a new removal text", "b\r\nabc\r\nacú", "\r\n\r\nú"},
             {"emptied line lets LF and CR meet", "aú\r\np\r\n\n\r\r\nbú", "aú\r\n\r\nbú"},
             {"empty text", "", ""}});
    }
    void cleanU()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(visible(LogFilter::CleanU(text)), visible(expected));
    }

    void masterParse_data()
    {
        test::addTextRows(
            {"raw", "expected"},
            {{"marker lines stay, noise goes", "aúb\r\nnoise\r\ncúd", "a - b\r\nc - d"},
             {"marker line with cvars goes", "aú cvars\r\nbú", "\r\nb - "},
             {"CVARS in capitals goes too", "aú CVARS x\r\nbú", "\r\nb - "},
             {"no marker line leaves a bare break", "noise\r\nmore", "\r\n"},
             {"single line without marker", "noise", ""},
             {"three empty lines become one break", "aú\r\n\r\n\r\n\r\nbú", "a - \r\nb - "},
             {"removed text goes inside a kept line too", "abc\r\nx abc ú", "\r\nx   - "},
             {"capital marker stays", "aÚb\r\nÚú", "aÚb\r\nÚ - "},
             {"relay lines end in a lone CR", "aú\r\r\nnoise\r\r\nbú", "a - \r\r\nb - "},
             {"blank relay line", "aú\r\r\n\r\r\nbú", "a - \n\nb - "},
             {"leading and trailing breaks stay", "\r\n\r\naú\r\n\r\n", "\r\na - \r\n"},
             {"empty", "", ""}});
        for (int lines : {32767, 32768}) {
            QTest::addRow("%d lines are filtered", lines)
                << QStringLiteral("noise cvars") + QStringLiteral(u"\r\nú").repeated(lines - 1)
                << QStringLiteral("\r\n - ").repeated(lines - 1);
        }
        QTest::newRow("100000 lines are filtered too")
            << QStringLiteral(u"aú") + QStringLiteral("\r\nnoise").repeated(99999)
            << QStringLiteral("a - \r\n");
    }
    void masterParse()
    {
        QFETCH(QString, raw);
        QFETCH(QString, expected);
        const QString filtered = LogFilter::MasterParse(raw);
        QCOMPARE(filtered.size(), expected.size());
        QCOMPARE(visible(filtered), visible(expected));
    }

    // The tests ignore case: every character of the basic plane, in every place of the word,
    // must count exactly when Qt's case-insensitive search counts it.
    void caseFoldingAsQt()
    {
        for (char32_t c = 0; c <= 0xFFFF; ++c) {
            const QChar unit{char16_t(c)};
            const QString line = QString(unit) + QStringLiteral(" x");
            const bool marked = line.contains(QChar(0x00FA), Qt::CaseInsensitive);
            QVERIFY2(LogFilter::CleanU(line).isEmpty() != marked,
                     qPrintable(QString::number(c, 16)));
            for (int place = 0; place < 5; ++place) {
                QString word = QStringLiteral("cvars");
                word[place] = unit;
                const bool mentioned = word.contains(QStringLiteral("cvars"), Qt::CaseInsensitive);
                QVERIFY2(LogFilter::CleanU2(word).isEmpty() == mentioned,
                         qPrintable(QStringLiteral("%1 at %2").arg(quint32(c), 0, 16).arg(place)));
            }
        }
    }

    void worthShowing_data()
    {
        test::addTextRows({"filtered", "shown"}, {{"empty", "", ""},
                                                  {"bare line break", "\r\n", ""},
                                                  {"one line", "a - b", "yes"},
                                                  {"break and a line", "\r\na - b", "yes"},
                                                  {"blank", " ", "yes"}});
    }
    void worthShowing()
    {
        QFETCH(QString, filtered);
        QFETCH(QString, shown);
        QCOMPARE(LogFilter::worthShowing(filtered), !shown.isEmpty());
    }

    void sameAsLiteralOnGeneratedLogs_data()
    {
        QTest::addColumn<int>("logs");
        QTest::addColumn<int>("maxLines");
        QTest::addColumn<bool>("relayLike");
        QTest::addColumn<quint32>("seed");
        QTest::newRow("short logs") << 4000 << 12 << false << 1u;
        QTest::newRow("longer logs") << 300 << 150 << false << 2u;
        QTest::newRow("relay-like logs") << 300 << 150 << true << 3u;
    }
    void sameAsLiteralOnGeneratedLogs()
    {
        QFETCH(int, logs);
        QFETCH(int, maxLines);
        QFETCH(bool, relayLike);
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        for (int i = 0; i < logs; ++i) {
            const QString raw = randomLog(random, maxLines, relayLike);
            const QByteArray difference = firstDifference(raw);
            QVERIFY2(difference.isEmpty(),
                     qPrintable(QStringLiteral("log %1: %2").arg(i).arg(visible(raw)) +
                                QString::fromUtf8(difference)));
        }
    }

    // A pass that the log worker abandons (the program ends) stops at once.
    void stoppedPassGivesUp()
    {
        const std::atomic<bool> stop = true;
        QCOMPARE(LogFilter::MasterParse(QStringLiteral(u"aúb\r\nnoise\r\n"), &stop), QString());
    }
};

GARRISON_TEST_GUILESS_MAIN(TestLogFilter)
#include "TestLogFilter.moc"
