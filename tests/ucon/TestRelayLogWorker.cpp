#include "TestMain.h"
#include "TextRows.h"
#include "platform/AnsiText.h"
#include "platform/AppFolder.h"
#include "ucon/LogFilter.h"
#include "ucon/RelayLogReader.h"
#include "ucon/RelayLogWorker.h"
#include "ucon/UconIni.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QThreadPool>
#include <memory>
#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace garrison;

namespace {

const QString kLog = QStringLiteral("pbucon.log");

void writeLog(const QByteArray& content, QIODevice::OpenMode mode = QIODevice::Truncate)
{
    QFile file(AppFolder::filePath(kLog));
    QVERIFY(file.open(QIODevice::WriteOnly | mode));
    file.write(content);
}

} // namespace

class TestRelayLogWorker : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        QFile::remove(AppFolder::filePath(kLog));
        QFile::remove(AppFolder::filePath(UconIni::kIniFile));
        QFile::remove(AppFolder::filePath(RelayLogWorker::kRelayProgram));
    }

    // Logs in Windows-1252 ("ú" is the marker byte). CR LF files read back with CR CR LF joins:
    // a removed line takes its stray CR along.
    void tick_data()
    {
        test::addTextRows(
            {"log", "Text7", "shown"},
            {{"CR LF lines", "Relay started\r\nPunkBuster ServerúKick\r\nChatúBob: hi\r\n",
              "\r\nPunkBuster Server - Kick\r\r\nChat - Bob: hi", "yes"},
             {"LF-only lines come out split", "Relay started\nAúa\nBúb\n", "\r\nA - a\r\nB - b\r\n",
              "yes"},
             {"status lines only: nothing to show",
              "Relay started on 127.0.0.1:55556\r\nConnected to server\r\n", "\r\n", ""},
             {"bare CR LF result: nothing to show", "noise\nmore\n", "\r\n", ""},
             {"empty log", "", "", ""},
             {"cvars line dropped", "aúCVARS check\r\nbúok", "\r\nb - ok", "yes"}});
    }
    void tick()
    {
        QFETCH(QString, log);
        QFETCH(QString, Text7);
        QFETCH(QString, shown);
        writeLog(toAnsi(log));
        RelayLogWorker worker;
        QSignalSpy filtered(&worker, &RelayLogWorker::logFiltered);
        worker.Timer1_Timer();
        QCOMPARE(worker.Text7(), Text7);
        QCOMPARE(filtered.size(), shown.isEmpty() ? 0 : 1);
        if (!shown.isEmpty()) {
            QCOMPARE(filtered.constFirst().constFirst().toString(), Text7);
        }
    }

    // Only what is appended is handed on (the chat box rebuilt from the changes is the
    // filtered log); a missing log keeps the last text, and a new one is read from its start.
    void followsTheLog()
    {
        RelayLogWorker worker;
        QSignalSpy filtered(&worker, &RelayLogWorker::logFiltered);
        QSignalSpy changed(&worker, &RelayLogWorker::logChanged);
        worker.Timer1_Timer();
        QCOMPARE(worker.tail().rawSize(), 0);
        QCOMPARE(filtered.size(), 0);

        writeLog("a\xFAone\r\nnoise\r\n");
        worker.Timer1_Timer();
        QCOMPARE(filtered.size(), 1);
        writeLog("b\xFAtwo\r\n", QIODevice::Append);
        worker.Timer1_Timer();
        QCOMPARE(changed.size(), 1);
        // The removed last line left a line break behind.
        QCOMPARE(changed.constFirst().at(0).value<qsizetype>(),
                 QStringLiteral("a - one\r\r\n").size());
        QCOMPARE(changed.constFirst().at(1).toString(), QStringLiteral("b - two"));
        QCOMPARE(worker.Text7(), QStringLiteral("a - one\r\r\nb - two"));
        worker.Timer1_Timer();
        QCOMPARE(changed.size(), 1);

        QVERIFY(QFile::remove(AppFolder::filePath(kLog)));
        worker.Timer1_Timer();
        QCOMPARE(worker.Text7(), QStringLiteral("a - one\r\r\nb - two"));
        QCOMPARE(filtered.size() + changed.size(), 2);

        // The next login deleted the old log.
        writeLog("y\xFAtwo\r\n");
        worker.Timer1_Timer();
        QCOMPARE(worker.Text7(), QStringLiteral("y - two"));
        QCOMPARE(filtered.size(), 2);
        QCOMPARE(filtered.constLast().constFirst().toString(), QStringLiteral("y - two"));
    }

    // A blank line's removal reaches into every line: the log is filtered whole, on another
    // thread, from then on. A worker that goes while a pass runs gets no result.
    void wholePassRunsAside()
    {
        const QByteArray log = "a\xFAone\r\n\r\nb\xFAtwo\r\n";
        writeLog(log);
        auto worker = std::make_unique<RelayLogWorker>();
        QSignalSpy filtered(worker.get(), &RelayLogWorker::logFiltered);
        worker->Timer1_Timer();
        QVERIFY(worker->catchingUp());
        QTRY_VERIFY_WITH_TIMEOUT(!worker->catchingUp(), 10000);
        QVERIFY(!worker->tail().incremental());
        QCOMPARE(filtered.size(), 1);
        QCOMPARE(worker->Text7(),
                 LogFilter::MasterParse(RelayLogReader::fromFileContent(fromAnsi(log))));

        writeLog("c\xFAthree\r\n", QIODevice::Append);
        worker->Timer1_Timer();
        worker.reset();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
        QCoreApplication::processEvents();
    }

    // A long log is read in slices, each from the event loop, and ends up whole.
    void longLogIsReadInSlices()
    {
        QByteArray log;
        for (int i = 0; i < 2000; ++i) {
            log += i % 10 == 0 ? "c\xFA"
                                 "chat " +
                                     QByteArray::number(i) + "\r\n"
                               : "PunkBuster Server: line " + QByteArray::number(i) + "\r\n";
        }
        writeLog(log);
        RelayLogWorker worker;
        worker.setSliceBytes(4096);
        worker.Timer1_Timer();
        QVERIFY(worker.catchingUp());
        QVERIFY(worker.tail().rawSize() < log.size() / 2);
        QTRY_VERIFY_WITH_TIMEOUT(!worker.catchingUp(), 10000);
        QCOMPARE(worker.Text7(),
                 LogFilter::MasterParse(RelayLogReader::fromFileContent(fromAnsi(log))));
        QVERIFY(worker.tail().incremental());
    }

    // The ini the relay reads holds the UCON password: never readable by others, not even
    // under the usual umask or while it is written.
    void iniIsTheOwnersOnly()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows files carry no Unix mode; the ini lies in the user's own folders");
#else
        const mode_t saved = ::umask(022);
        UconIni::write(AppFolder::path(), QStringLiteral("password=GrsnUcon_x"));
        ::umask(saved);
        struct stat status {};
        QCOMPARE(
            ::stat(QFile::encodeName(AppFolder::filePath(UconIni::kIniFile)).constData(), &status),
            0);
        QCOMPARE(status.st_mode & 0777, 0600u);
#endif
    }

    // A stand-in relay records where and how it was started; the timer then reads the log.
    void loadStartsTheRelayAndTheTimer()
    {
#ifdef Q_OS_WIN
        // Started through the shell, hidden, as a Windows program.
        const QString relay = AppFolder::filePath(RelayLogWorker::kRelayProgram);
        QFile::remove(relay);
        QVERIFY(QFile::copy(QStringLiteral(GARRISON_RECORDING_STAND_IN), relay));
        const QString record = AppFolder::filePath(QStringLiteral("record.txt"));
#else
        QVERIFY(test::writeFile(AppFolder::filePath(RelayLogWorker::kRelayProgram),
                                "#!/bin/sh\necho \"$(pwd) $*\" > started.txt\n", true));
        const QString record = AppFolder::filePath(QStringLiteral("started.txt"));
#endif
        QFile::remove(record);
        writeLog("t\xFAtick\r\n");

        RelayLogWorker worker;
        QSignalSpy filtered(&worker, &RelayLogWorker::logFiltered);
        QVERIFY(!worker.Timer1().isActive());
        worker.Form_Load();
        QVERIFY(worker.Timer1().isActive());
        QCOMPARE(worker.Timer1().interval(), 5000);
        worker.setTickInterval(20);
        QVERIFY(filtered.wait(2000));
        QCOMPARE(filtered.constFirst().constFirst().toString(), QStringLiteral("t - tick"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile(record).size() > 0, 5000);
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString started = QString::fromUtf8(file.readAll()).trimmed();
#ifdef Q_OS_WIN
        QCOMPARE(QDir::fromNativeSeparators(started),
                 QDir::cleanPath(AppFolder::path()) + QStringLiteral("\nini=codwaw.ini"));
#else
        QCOMPARE(started, AppFolder::path() + QStringLiteral(" ini=codwaw.ini"));
#endif
    }
};

GARRISON_TEST_GUILESS_MAIN(TestRelayLogWorker)
#include "TestRelayLogWorker.moc"
