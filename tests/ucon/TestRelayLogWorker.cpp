#include "TestMain.h"
#include "platform/AppFolder.h"
#include "ucon/RelayLogWorker.h"

#include <QFile>
#include <QSignalSpy>

using namespace garrison;

namespace {

const QString kLog = QStringLiteral("pbucon.log");

void writeLog(const QByteArray& content)
{
    QFile file(AppFolder::filePath(kLog));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

} // namespace

class TestRelayLogWorker : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        QFile::remove(AppFolder::filePath(kLog));
        QFile::remove(AppFolder::filePath(RelayLogWorker::kRelayProgram));
    }

    void tick_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("Text2");
        QTest::addColumn<QString>("Text7");
        QTest::addColumn<bool>("shown");

        // CR LF files read back with CR CR LF joins: a removed line takes its stray CR along.
        QTest::newRow("CR LF lines")
            << QByteArray("Relay started\r\nPunkBuster Server\xFAKick\r\nChat\xFA"
                          "Bob: hi\r\n")
            << QStringLiteral("Relay started\r\r\nPunkBuster Server\u00faKick\r\r\nChat\u00fa"
                              "Bob: hi")
            << QStringLiteral("\r\nPunkBuster Server - Kick\r\r\nChat - Bob: hi") << true;
        QTest::newRow("LF-only lines come out split")
            << QByteArray("Relay started\nA\xFA"
                          "a\nB\xFA"
                          "b\n")
            << QStringLiteral("Relay started\r\nA\u00fa"
                              "a\r\nB\u00fa"
                              "b\r\n")
            << QStringLiteral("\r\nA - a\r\nB - b\r\n") << true;
        QTest::newRow("status lines only: nothing to show")
            << QByteArray("Relay started on 127.0.0.1:55556\r\nConnected to server\r\n")
            << QStringLiteral("Relay started on 127.0.0.1:55556\r\r\nConnected to server")
            << QStringLiteral("\r\n") << false;
        QTest::newRow("bare CR LF result: nothing to show")
            << QByteArray("noise\nmore\n") << QStringLiteral("noise\r\nmore\r\n")
            << QStringLiteral("\r\n") << false;
        QTest::newRow("empty log") << QByteArray() << QString() << QString() << false;
        QTest::newRow("cvars line dropped") << QByteArray("a\xFA"
                                                          "CVARS check\r\nb\xFA"
                                                          "ok")
                                            << QStringLiteral("a\u00fa"
                                                              "CVARS check\r\r\nb\u00fa"
                                                              "ok")
                                            << QStringLiteral("\r\nb - ok") << true;
    }
    void tick()
    {
        QFETCH(QByteArray, log);
        QFETCH(QString, Text7);
        QFETCH(bool, shown);
        writeLog(log);
        RelayLogWorker worker;
        QSignalSpy filtered(&worker, &RelayLogWorker::logFiltered);
        worker.Timer1_Timer();
        QTEST(worker.Text2(), "Text2");
        QCOMPARE(worker.Text7(), Text7);
        QCOMPARE(filtered.size(), shown ? 1 : 0);
        if (shown) {
            QCOMPARE(filtered.constFirst().constFirst().toString(), Text7);
        }
    }

    void missingLogKeepsTheLastText()
    {
        RelayLogWorker worker;
        QSignalSpy filtered(&worker, &RelayLogWorker::logFiltered);
        worker.Timer1_Timer();
        QCOMPARE(worker.Text2(), QString());
        QCOMPARE(filtered.size(), 0);

        writeLog("x\xFAone\r\n");
        worker.Timer1_Timer();
        QCOMPARE(worker.Text2(), QStringLiteral("x\u00faone"));
        QCOMPARE(filtered.size(), 1);

        QVERIFY(QFile::remove(AppFolder::filePath(kLog)));
        worker.Timer1_Timer();
        QCOMPARE(worker.Text2(), QStringLiteral("x\u00faone"));
        QCOMPARE(worker.Text7(), QStringLiteral("x - one"));
        QCOMPARE(filtered.size(), 2);

        writeLog("y\xFAtwo\r\n");
        worker.Timer1_Timer();
        QCOMPARE(worker.Text7(), QStringLiteral("y - two"));
    }

    void loadStartsTheRelayAndTheTimer()
    {
        RelayLogWorker worker;
        QCOMPARE(worker.objectName(), QStringLiteral("Form5"));
        QVERIFY(!worker.Timer1().isActive());
        QStringList started;
        worker.setStarter(
            [&](const QString& program, const QStringList& arguments, const QString& folder) {
                started << program << arguments << folder;
                return false;
            });
        worker.Form_Load();
        QCOMPARE(started, QStringList({AppFolder::filePath(QStringLiteral("pbucon.exe")),
                                       QStringLiteral("ini=codwaw.ini"), AppFolder::path()}));
        QVERIFY(worker.Timer1().isActive());
        QCOMPARE(worker.Timer1().interval(), 5000);
    }

    void timerTicksReadTheLog()
    {
        writeLog("t\xFAtick\r\n");
        RelayLogWorker worker;
        worker.setStarter([](const QString&, const QStringList&, const QString&) { return true; });
        worker.setTickInterval(20);
        QSignalSpy filtered(&worker, &RelayLogWorker::logFiltered);
        worker.Form_Load();
        QVERIFY(filtered.wait(2000));
        QCOMPARE(filtered.constFirst().constFirst().toString(), QStringLiteral("t - tick"));
    }

    void defaultStarterRunsTheProgramInTheAppFolder()
    {
        // A stand-in that records where and how it was started, then ends.
        QFile script(AppFolder::filePath(RelayLogWorker::kRelayProgram));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$(pwd) $*\" > started.txt\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString record = AppFolder::filePath(QStringLiteral("started.txt"));
        QFile::remove(record);

        RelayLogWorker worker;
        worker.Form_Load();
        QTRY_VERIFY_WITH_TIMEOUT(QFile(record).size() > 0, 5000);
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLocal8Bit(file.readAll()).trimmed(),
                 AppFolder::path() + QStringLiteral(" ini=codwaw.ini"));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestRelayLogWorker)
#include "TestRelayLogWorker.moc"
