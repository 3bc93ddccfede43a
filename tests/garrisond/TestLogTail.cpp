#include "LogTail.h"
#include "TestMain.h"

#include <QFile>
#include <QTemporaryDir>

using garrisond::LogTail;

class TestLogTail : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsTheEnd_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<QByteArray>("tail");
        const auto row = [](const char* tag, const QByteArray& content, qint64 maxBytes,
                            const QByteArray& tail) {
            QTest::newRow(tag) << content << maxBytes << tail;
        };
        row("short file whole", "a\nb\n", 100, "a\r\nb\r\n");
        row("CR LF kept", "a\r\nb\r\n", 100, "a\r\nb\r\n");
        row("cut at a line start", "first\nsecond\nthird\n", 10, "third\r\n");
        row("cut exactly at a line start", "first\nsecond\n", 7, "second\r\n");
        row("one long line kept as cut", "abcdefghij", 4, "ghij");
        row("empty", "", 100, "");
        row("8-bit bytes untouched", "\xe9\x80\n", 100, "\xe9\x80\r\n");
        // No line may begin like one of the daemon's messages.
        row("posing as a state report", "SERVERSTATE\nstate=crashed\n", 100,
            " SERVERSTATE\r\nstate=crashed\r\n");
        row("posing as events", "EVENT alert\tx\r\nEVENT report\n", 100,
            " EVENT alert\tx\r\n EVENT report\r\n");
        row("posing as a refusal, cut off", "first\nDENIED x", 100, "first\r\n DENIED x");
        row("an escaped-looking line gets one blank more", "  ADDUSER x\n", 100,
            "   ADDUSER x\r\n");
        row("other indented lines as they are", "  0:00 InitGame\n", 100, "  0:00 InitGame\r\n");
    }
    void readsTheEnd()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, maxBytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("games_mp.log"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QByteArray tail;
        QString error;
        QVERIFY2(LogTail::read(path, maxBytes, &tail, &error), qPrintable(error));
        QTEST(tail, "tail");
    }
};

GARRISON_TEST_GUILESS_MAIN(TestLogTail)
#include "TestLogTail.moc"
