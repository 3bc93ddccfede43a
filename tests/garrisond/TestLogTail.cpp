#include "LogTail.h"
#include "TestMain.h"

#include <QFile>
#include <QTemporaryDir>

using garrisond::LogTail;

class TestLogTail : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsTheEnd_data();
    void readsTheEnd();
    void reportsAMissingFile();
};

void TestLogTail::readsTheEnd_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<QByteArray>("tail");
    QTest::newRow("short file whole")
        << QByteArray("a\nb\n") << qint64(100) << QByteArray("a\r\nb\r\n");
    QTest::newRow("CR LF kept") << QByteArray("a\r\nb\r\n") << qint64(100)
                                << QByteArray("a\r\nb\r\n");
    QTest::newRow("cut at a line start")
        << QByteArray("first\nsecond\nthird\n") << qint64(10) << QByteArray("third\r\n");
    QTest::newRow("cut exactly at a line start")
        << QByteArray("first\nsecond\n") << qint64(7) << QByteArray("second\r\n");
    QTest::newRow("one long line kept as cut")
        << QByteArray("abcdefghij") << qint64(4) << QByteArray("ghij");
    QTest::newRow("empty") << QByteArray() << qint64(100) << QByteArray();
    QTest::newRow("8-bit bytes untouched")
        << QByteArray("\xe9\x80\n") << qint64(100) << QByteArray("\xe9\x80\r\n");
}

void TestLogTail::readsTheEnd()
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

void TestLogTail::reportsAMissingFile()
{
    QByteArray tail;
    QString error;
    QVERIFY(!LogTail::read(QStringLiteral("/nonexistent/games_mp.log"), 100, &tail, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!LogTail::read(QString(), 100, &tail, &error));
}

GARRISON_TEST_GUILESS_MAIN(TestLogTail)
#include "TestLogTail.moc"
