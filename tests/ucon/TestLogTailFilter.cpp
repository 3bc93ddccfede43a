#include "LiteralLogFilter.h"
#include "TestMain.h"
#include "TextRows.h"
#include "platform/AnsiText.h"
#include "ucon/LogFilter.h"
#include "ucon/LogTailFilter.h"
#include "ucon/RelayLogFollower.h"
#include "ucon/RelayLogReader.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

using namespace garrison;
using garrison::test::visible;

namespace {

// Appends as the relay's log worker does, filtering the whole log (whole()) where the tail
// asks for that.
template <typename Whole>
LogTailFilter::Change append(LogTailFilter& tail, const QString& piece, bool more, Whole whole)
{
    const LogTailFilter::Change change = tail.append(piece, more);
    return change.wholePassNeeded
               ? tail.takeWholePass(tail.generation(), LogFilter::MasterParse(whole()))
               : change;
}

enum class Kind { Relay, Junk, ByteByByte };

// Relay lines as the relay writes them, with the things that make a filter reach back now
// and then: noise that is a piece of a chat line, repeated lines, cvars, blank lines.
QByteArray relayLine(QRandomGenerator& random, const QList<QByteArray>& earlier)
{
    // Rare enough that most steps find the filter still working on new lines alone.
    const int kind = int(random.bounded(1000));
    if (kind < 40 && !earlier.isEmpty()) {
        return earlier.at(random.bounded(earlier.size()));
    }
    if (kind == 40 && !earlier.isEmpty()) {
        const QByteArray& other = earlier.at(random.bounded(earlier.size()));
        const QByteArray piece = other.mid(random.bounded(other.size()) / 2).trimmed();
        if (!piece.isEmpty()) {
            return piece + "\r\n";
        }
    }
    if (kind == 41) {
        return QByteArray("\xFA") + "cvars check " + QByteArray::number(random.bounded(5)) + "\r\n";
    }
    if (kind == 42) {
        return "\r\n";
    }
    if (kind < 350) {
        return "Chat\xFA" + QByteArray("Player") + QByteArray::number(random.bounded(9)) +
               ": hello there " + QByteArray::number(random.bounded(1000)) + "\r\n";
    }
    return "PunkBuster Server: Player Guid Computed " + QByteArray::number(random.bounded(99999)) +
           " (slot #" + QByteArray::number(random.bounded(16)) + ") 192.0.2." +
           QByteArray::number(random.bounded(255)) + ":28960\r\n";
}

const QList<QByteArray> kJunk = {"a",     "b",  "ab",          "ba",    "\xFA", "\xDA",
                                 "cvars", " ",  "\r",          "\n",    "\n\r", "a\xFA",
                                 "\r\n",  "\0", "babababab\r", "xy\xFA"};

// What the file grows by; a relay that writes a few bytes at a time takes them from stream.
QByteArray growth(QRandomGenerator& random, Kind kind, QList<QByteArray>& lines, QByteArray& stream)
{
    QByteArray bytes;
    if (kind == Kind::Junk) {
        for (int i = int(random.bounded(1, 12)); i > 0; --i) {
            bytes += kJunk.at(random.bounded(kJunk.size()));
        }
        return bytes;
    }
    for (int i = int(random.bounded(1, 30)); i > 0; --i) {
        lines << relayLine(random, lines);
        bytes += lines.constLast();
    }
    if (kind != Kind::ByteByByte) {
        return bytes;
    }
    stream += bytes;
    bytes = stream.left(random.bounded(1, 4));
    stream.remove(0, bytes.size());
    return bytes;
}

} // namespace

class TestLogTailFilter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // After every step the tail's filtered text, and the text rebuilt from its changes, must
    // be what filtering the whole file gives (for short logs also the literal filter).
    void sameAsFilteringTheWholeFile_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("steps");
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 4; ++seed) {
            QTest::addRow("relay lines %u", seed) << int(Kind::Relay) << 120 << seed;
            QTest::addRow("junk %u", seed) << int(Kind::Junk) << 120 << seed;
            QTest::addRow("a few bytes at a time %u", seed) << int(Kind::ByteByByte) << 200 << seed;
        }
    }
    void sameAsFilteringTheWholeFile()
    {
        QFETCH(int, kind);
        QFETCH(int, steps);
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        const QString path = QDir(test::scratchFolder()).filePath(QStringLiteral("tail.log"));
        QFile::remove(path);
        RelayLogFollower follower(path);
        LogTailFilter tail;
        QString shown;
        QByteArray content;
        QByteArray stream;
        QList<QByteArray> lines;
        int incrementalSteps = 0;
        for (int step = 0; step < steps; ++step) {
            const int action = int(random.bounded(20));
            if (action == 0) {
                content.truncate(random.bounded(content.size() + 1));
            } else if (action == 1) {
                // Rewritten from the start with other text of about the same size.
                QByteArray other;
                while (other.size() < content.size()) {
                    other += growth(random, Kind(kind), lines, stream);
                }
                content = other;
            } else {
                content += growth(random, Kind(kind), lines, stream);
            }
            QVERIFY(test::writeFile(path, content));

            // Small slices, so that a piece often ends inside a line or a line break.
            const qint64 slice = qint64(random.bounded(1, 200));
            for (bool more = true; more;) {
                const std::optional<RelayLogFollower::Piece> piece = follower.read(slice);
                QVERIFY(piece);
                if (piece->restarted) {
                    tail.clear();
                    shown.clear();
                }
                // The whole passes read the file again, as the relay's log worker does.
                const LogTailFilter::Change change = append(tail, piece->text, piece->more, [&] {
                    return RelayLogFollower::readBack(path, follower.offset());
                });
                QCOMPARE(change.kept + change.dropped, shown.size());
                shown.truncate(change.kept);
                shown += change.appended;
                more = piece->more;
            }
            const QString raw = RelayLogReader::fromFileContent(fromAnsi(content));
            QCOMPARE(visible(RelayLogFollower::readBack(path, follower.offset())), visible(raw));
            QCOMPARE(tail.rawSize(), raw.size());
            const QString whole = LogFilter::MasterParse(raw);
            QVERIFY2(tail.filtered() == whole,
                     qPrintable(QStringLiteral("step %1: %2\nfiltered %3\nwhole    %4")
                                    .arg(step)
                                    .arg(visible(raw), visible(tail.filtered()), visible(whole))));
            QCOMPARE(shown, whole);
            incrementalSteps += tail.incremental() ? 1 : 0;
            if (raw.size() < 3000) {
                QCOMPARE(whole, literal::MasterParse(raw));
            }
        }
        // The generated relay logs mostly keep to new lines; a few steps reach back.
        if (kind == int(Kind::Relay)) {
            QVERIFY2(incrementalSteps > steps / 3, qPrintable(QString::number(incrementalSteps)));
        }
    }

    // The filter must not lean on the whole pass for the logs it meets every evening.
    void relayLogStaysIncremental()
    {
        QRandomGenerator random(7);
        QString log;
        LogTailFilter tail;
        for (int tick = 0; tick < 200; ++tick) {
            QByteArray bytes;
            for (int i = 0; i < 50; ++i) {
                bytes += i % 10 == 3 ? "Chat\xFAPlayer" + QByteArray::number(i) + ": gg " +
                                           QByteArray::number(random.bounded(1000)) + "\r\n"
                                     : "PunkBuster Server: Player Guid Computed " +
                                           QByteArray::number(random.bounded(99999)) + " (slot #" +
                                           QByteArray::number(i % 16) + ")\r\n";
            }
            const QString piece = RelayLogReader::fromFileContent(fromAnsi(bytes))
                                      .prepend(tick > 0 ? QStringLiteral("\r\r\n") : QString());
            log += piece;
            QVERIFY(!tail.append(piece).wholePassNeeded);
        }
        QVERIFY(tail.incremental());
        QCOMPARE(tail.filtered(), LogFilter::MasterParse(log));
    }

    // A new line whose text occurs in lines already shown takes it out of them. The pieces are
    // split at "|".
    void newLineReachesBack_data()
    {
        test::addTextRows({"pieces", "filtered", "incremental"},
                          {{"noise inside an earlier chat line", "xú abc\r\r\n|abc\r|\r\nnext\r",
                            "x -  \r\n", ""},
                           {"last line cuts, then grows into another text",
                            "xú abc\r\r\n|abc|d\r\r\nyú", "x -  abc\r\r\ny - ", "yes"},
                           {"earlier noise inside a new chat line", "noise\r\r\n|aú noise\r\r\n",
                            "\r\na -  \r\n", ""},
                           {"earlier noise takes the line break before a new chat line",
                            "\nab\r\n|abú c\r\n", "\r -  c\r\n", ""}});
    }
    void newLineReachesBack()
    {
        QFETCH(QString, pieces);
        QFETCH(QString, incremental);
        QString log;
        LogTailFilter tail;
        for (const QString& piece : pieces.split(u'|')) {
            log += piece;
            append(tail, piece, false, [&log] { return log; });
            QCOMPARE(visible(tail.filtered()), visible(LogFilter::MasterParse(log)));
        }
        QTEST(tail.filtered(), "filtered");
        QCOMPARE(tail.incremental(), !incremental.isEmpty());
    }

    // A whole pass that the tail moved past (its last line came in whole and was taken on its
    // own) must not bring the old text back.
    void overtakenPassIsDropped()
    {
        LogTailFilter tail;
        tail.append(QStringLiteral(u"xú abc\r\r\n"));
        QVERIFY(tail.append(QStringLiteral(u"abc")).wholePassNeeded);
        const quint64 asked = tail.generation();
        QVERIFY(!tail.append(QStringLiteral(u"d\r\r\nyú")).wholePassNeeded);
        const QString now = tail.filtered();
        QVERIFY(
            tail.takeWholePass(asked, LogFilter::MasterParse(QStringLiteral(u"xú abc\r\r\nabc")))
                .isEmpty());
        QCOMPARE(tail.filtered(), now);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestLogTailFilter)
#include "TestLogTailFilter.moc"
