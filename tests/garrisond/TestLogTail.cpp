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
    void reportsAMissingFile()
    {
        QByteArray tail;
        QString error;
        QVERIFY(!LogTail::read(QStringLiteral("/nonexistent/games_mp.log"), 100, &tail, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!LogTail::read(QString(), 100, &tail, &error));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestLogTail)
#include "TestLogTail.moc"
