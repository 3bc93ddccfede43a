#include "LiteralLogFilter.h"
#include "TestMain.h"
#include "ucon/LogFilter.h"
#include "ucon/RelayLogReader.h"

#include <QRandomGenerator>

using namespace garrison;

namespace {

QString visible(QString text)
{
    return text.replace(QLatin1Char('\r'), QStringLiteral("<CR>"))
        .replace(QLatin1Char('\n'), QStringLiteral("<LF>"));
}

// Few, short pieces, so that lines are often parts of other lines and removals run into each
// other; the long ones reach the lookup of longer line texts.
const QStringList kPieces = {
    QStringLiteral("a"),         QStringLiteral("b"),
    QStringLiteral("ab"),        QStringLiteral("ba"),
    QStringLiteral(u"ú"),        QStringLiteral(u"Ú"),
    QStringLiteral("cvars"),     QStringLiteral("CVarS"),
    QStringLiteral(" "),         QStringLiteral("\r"),
    QStringLiteral("\n"),        QStringLiteral("\n\r"),
    QStringLiteral(u"aú"),       QStringLiteral("abababababababab"),
    QStringLiteral(u"babaúbab"),
};

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

QString repeated(const QString& first, const QString& next, int lines)
{
    QString text = first;
    for (int i = 1; i < lines; ++i) {
        text += next;
    }
    return text;
}

} // namespace

class TestLogFilter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanU_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("removed line keeps its break")
            << QStringLiteral(u"noise\r\naú") << QStringLiteral(u"\r\naú");
        QTest::newRow("removed text goes inside a kept line too")
            << QStringLiteral(u"abc\r\nx abc ú") << QStringLiteral(u"\r\nx  ú");
        QTest::newRow("repeated line goes with the first")
            << QStringLiteral(u"n\r\naú\r\nn") << QStringLiteral(u"\r\naú\r\n");
        QTest::newRow("capital marker counts")
            << QStringLiteral(u"aÚ\r\nb") << QStringLiteral(u"aÚ\r\n");
        QTest::newRow("blank relay line takes every CR")
            << QStringLiteral(u"aú\r\r\n\r\r\nbú") << QStringLiteral(u"aú\n\nbú");
        QTest::newRow("removal joins CR and LF into a new break")
            << QStringLiteral(u"Y\r\naú\rY\nbú") << QStringLiteral(u"\r\naú\r\nbú");
        QTest::newRow("removal takes the LF of a break")
            << QStringLiteral(u"aú\r\nqú\r\n\nq") << QStringLiteral(u"aú\rú\r\n");
        QTest::newRow("earlier removal makes a new removal text")
            << QStringLiteral(u"b\r\nabc\r\nacú") << QStringLiteral(u"\r\n\r\nú");
        QTest::newRow("emptied line lets LF and CR meet")
            << QStringLiteral(u"aú\r\np\r\n\n\r\r\nbú") << QStringLiteral(u"aú\r\n\r\nbú");
        QTest::newRow("empty text") << QString() << QString();
    }
    void cleanU()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(visible(LogFilter::CleanU(text)), visible(expected));
    }

    void masterParse_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("expected");
        QTest::newRow("marker lines stay, noise goes")
            << QStringLiteral(u"aúb\r\nnoise\r\ncúd") << QStringLiteral("a - b\r\nc - d");
        QTest::newRow("marker line with cvars goes")
            << QStringLiteral(u"aú cvars\r\nbú") << QStringLiteral("\r\nb - ");
        QTest::newRow("CVARS in capitals goes too")
            << QStringLiteral(u"aú CVARS x\r\nbú") << QStringLiteral("\r\nb - ");
        QTest::newRow("no marker line leaves a bare break")
            << QStringLiteral("noise\r\nmore") << QStringLiteral("\r\n");
        QTest::newRow("single line without marker") << QStringLiteral("noise") << QString();
        QTest::newRow("three empty lines become one break")
            << QStringLiteral(u"aú\r\n\r\n\r\n\r\nbú") << QStringLiteral("a - \r\nb - ");
        QTest::newRow("removed text goes inside a kept line too")
            << QStringLiteral(u"abc\r\nx abc ú") << QStringLiteral("\r\nx   - ");
        QTest::newRow("capital marker stays")
            << QStringLiteral(u"aÚb\r\nÚú") << QStringLiteral(u"aÚb\r\nÚ - ");
        QTest::newRow("relay lines end in a lone CR")
            << QStringLiteral(u"aú\r\r\nnoise\r\r\nbú") << QStringLiteral("a - \r\r\nb - ");
        QTest::newRow("blank relay line")
            << QStringLiteral(u"aú\r\r\n\r\r\nbú") << QStringLiteral("a - \n\nb - ");
        QTest::newRow("leading and trailing breaks stay")
            << QStringLiteral(u"\r\n\r\naú\r\n\r\n") << QStringLiteral("\r\na - \r\n");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("32767 lines are filtered")
            << repeated(QStringLiteral("noise cvars"), QStringLiteral(u"\r\nú"), 32767)
            << repeated(QString(), QStringLiteral("\r\n - "), 32767);
        QTest::newRow("32768 lines are filtered too")
            << repeated(QStringLiteral("noise cvars"), QStringLiteral(u"\r\nú"), 32768)
            << repeated(QString(), QStringLiteral("\r\n - "), 32768);
        QTest::newRow("100000 lines are filtered too")
            << repeated(QStringLiteral(u"aú"), QStringLiteral("\r\nnoise"), 100000)
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

    void literalReferenceAgreesOnTheSmallCases()
    {
        QCOMPARE(literal::MasterParse(QStringLiteral(u"aúb\r\nnoise\r\ncúd")),
                 QStringLiteral("a - b\r\nc - d"));
        QCOMPARE(literal::CleanU(QStringLiteral(u"Y\r\naú\rY\nbú")),
                 QStringLiteral(u"\r\naú\r\nbú"));
        QCOMPARE(literal::CleanU(QStringLiteral(u"aú\r\nqú\r\n\nq")), QStringLiteral(u"aú\rú\r\n"));
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
        QTest::addColumn<QString>("filtered");
        QTest::addColumn<bool>("shown");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("bare line break") << QStringLiteral("\r\n") << false;
        QTest::newRow("one line") << QStringLiteral("a - b") << true;
        QTest::newRow("break and a line") << QStringLiteral("\r\na - b") << true;
        QTest::newRow("blank") << QStringLiteral(" ") << true;
    }
    void worthShowing()
    {
        QFETCH(QString, filtered);
        QFETCH(bool, shown);
        QCOMPARE(LogFilter::worthShowing(filtered), shown);
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
};

GARRISON_TEST_GUILESS_MAIN(TestLogFilter)
#include "TestLogFilter.moc"
