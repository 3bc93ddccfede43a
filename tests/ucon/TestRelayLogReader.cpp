#include "TestMain.h"
#include "TextRows.h"
#include "platform/AnsiText.h"
#include "ucon/RelayLogReader.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

using namespace garrison;
using garrison::test::visible;

namespace {

// Line by line as the description goes: a line ends at CR or CR LF, the lines are joined by
// CR LF, then every LF becomes CR LF.
QString readLineByLine(const QByteArray& bytes)
{
    const QString content = fromAnsi(bytes);
    QStringList lines;
    qsizetype at = 0;
    while (at < content.size()) {
        qsizetype end = content.indexOf(QLatin1Char('\r'), at);
        if (end < 0) {
            end = content.size();
        }
        lines << content.mid(at, end - at);
        at = end + 1;
        if (at < content.size() && content.at(at) == QLatin1Char('\n')) {
            ++at;
        }
    }
    return lines.join(QStringLiteral("\r\n")).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

} // namespace

class TestRelayLogReader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void read_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* tag, const QByteArray& bytes, const QString& expected) {
            QTest::newRow(tag) << bytes << expected;
        };
        row("CR LF lines", "a\r\nb\r\n", "a\r\r\nb");
        row("last line without end", "a\r\nb", "a\r\r\nb");
        row("LF-only log is split again", "a\nb\nc\n", "a\r\nb\r\nc\r\n");
        row("lone CR ends a line", "a\rb\r", "a\r\r\nb");
        row("empty line", "a\r\n\r\nb\r\n", "a\r\r\n\r\r\nb");
        row("empty line at the end", "a\r\n\r\n", "a\r\r\n");
        row("LF before the line end", "a\n\r\nb", "a\r\n\r\r\nb");
        row("only a line end", "\r\n", QString());
        row("empty file", QByteArray(), QString());
        row("Windows-1252 text", "\xFA \x80\r\n", QStringLiteral(u"ú \u20AC"));
        row("NUL and end-of-file bytes", QByteArray("x\0\x1Ay", 4),
            QString::fromUtf16(u"x\0\x1Ay", 4));
    }
    void read()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        const QString path = test::scratchFolder() + QStringLiteral("/pbucon.log");
        QVERIFY(test::writeFile(path, bytes));
        const std::optional<QString> text = RelayLogReader::ReadRelayLog(path);
        QVERIFY(text.has_value());
        QCOMPARE(visible(*text), visible(expected));
        QVERIFY(!text->isNull() || expected.isEmpty());
    }

    // The file is read in pieces of 32 KiB: line ends must not care where a piece ends. Four
    // files put a line end across a piece's end, then random ones of a, b, CR and LF.
    void sameAsLineByLineReading()
    {
        const QByteArray filler(32 * 1024 - 1, 'x');
        QList<QByteArray> files{filler + "\r\ny", filler + "\ry", filler + "a\ny",
                                filler + "\r\r\r\n"};
        QRandomGenerator random(7);
        for (int i = 0; i < 300; ++i) {
            QByteArray& bytes = files.emplace_back();
            for (int n = int(random.bounded(i < 290 ? 40 : 70000)); n > 0; --n) {
                bytes.append("ab\r\n"[random.bounded(4)]);
            }
        }
        const QString path = test::scratchFolder() + QStringLiteral("/pieces.log");
        for (const QByteArray& bytes : std::as_const(files)) {
            QVERIFY(test::writeFile(path, bytes));
            const std::optional<QString> text = RelayLogReader::ReadRelayLog(path);
            QVERIFY(text.has_value());
            QVERIFY2(*text == readLineByLine(bytes),
                     qPrintable(visible(fromAnsi(bytes.left(200)))));
        }
    }

    void unreadableFileGivesNothing()
    {
        const QString folder = test::scratchFolder();
        QVERIFY(!RelayLogReader::ReadRelayLog(QDir(folder).filePath("no-such.log")).has_value());
        QVERIFY(!RelayLogReader::ReadRelayLog(folder).has_value());
    }
};

GARRISON_TEST_GUILESS_MAIN(TestRelayLogReader)
#include "TestRelayLogReader.moc"
