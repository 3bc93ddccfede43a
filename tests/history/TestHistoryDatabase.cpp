#include "HistoryCases.h"
#include "TestMain.h"
#include "TextRows.h"
#include "history/History.h"
#include "history/HistoryBans.h"
#include "history/HistoryCsv.h"
#include "history/HistoryQueries.h"
#include "platform/CsvText.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QSqlError>
#include <QTemporaryDir>
#include <sys/stat.h>
#ifndef Q_OS_WIN
#include <unistd.h>
#endif

using namespace garrison;
namespace Cases = garrison::test::HistoryCases;
using garrison::test::addTextRows;

// The SQLite history: opening every kind of file, recording, searching, retention.
class TestHistoryDatabase : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HistoryDatabase> m_database;

    QString path(const QString& name = QStringLiteral("history.sqlite")) const
    {
        return m_dir->filePath(name);
    }
    static HistoryConnection sqlite(const QString& file)
    {
        HistoryConnection connection;
        connection.path = file;
        return connection;
    }
    static QByteArray digest(const QString& file)
    {
        QFile data(file);
        return data.open(QIODevice::ReadOnly)
                   ? QCryptographicHash::hash(data.readAll(), QCryptographicHash::Sha256)
                   : QByteArray();
    }
    static void recordEve(History& history)
    {
        history.recordStatus(Cases::kServer, QString(), {Cases::row("0|1|3333333333|Eve|x:1")},
                             Cases::kStart);
    }
    // A file as another program (or version) left it.
    void writeDatabase(const QString& file, const QStringList& statements)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "setup");
            db.setDatabaseName(file);
            QVERIFY(db.open());
            for (const QString& statement : statements) {
                QSqlQuery query(db);
                QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("setup"));
    }

    static QString mode(const QString& file)
    {
        struct stat status {};
        return ::stat(QFile::encodeName(file).constData(), &status) == 0
                   ? QString::number(status.st_mode & 07777, 8)
                   : QStringLiteral("missing");
    }

private Q_SLOTS:
    // The usual umask, which would leave new files readable by everybody.
    void initTestCase() { ::umask(022); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_database = std::make_unique<HistoryDatabase>(sqlite(path()));
        QCOMPARE(m_database->open(), HistoryDatabase::State::Ready);
    }
    void cleanup()
    {
        m_database.reset();
        m_dir.reset();
    }

    void recording_data() { Cases::recording_data(); }
    void recording() { Cases::recording(*m_database); }
    void search_data() { Cases::search_data(); }
    void search() { Cases::search(*m_database); }
    void bans_data() { Cases::bans_data(); }
    void bans() { Cases::bans(*m_database); }

    void freshFileIsMigratedOnceInWalMode()
    {
        QVERIFY(m_database->hasFragmentIndex());
        QSqlQuery mode(m_database->db());
        QVERIFY(mode.exec(QStringLiteral("PRAGMA journal_mode")) && mode.next());
        QCOMPARE(mode.value(0).toString(), QStringLiteral("wal"));
        HistoryDatabase again(sqlite(path()));
        QCOMPARE(again.open(), HistoryDatabase::State::Ready);
        QCOMPARE(again.foundVersion(), HistorySchema::kVersion);
    }

    // A file of the first version gains the players' reports and the bans when it is opened.
    void firstVersionFileGainsReports()
    {
        QSqlQuery older(m_database->db());
        QVERIFY(older.exec(QStringLiteral("DROP TABLE reports")));
        QVERIFY(older.exec(QStringLiteral("DROP TABLE bans")));
        QVERIFY(older.exec(QStringLiteral("UPDATE meta SET value = '1'"
                                          " WHERE key = 'schema_version'")));
        m_database.reset();
        HistoryDatabase again(sqlite(path()));
        QCOMPARE(again.open(), HistoryDatabase::State::Ready);
        QCOMPARE(again.foundVersion(), 1);
        HistoryRecorder recorder(again);
        PlayerReport report;
        report.key = QStringLiteral("r-1");
        report.serverKey = QStringLiteral("192.0.2.1:28960");
        report.reporterName = QStringLiteral("Bob");
        report.reportedName = QStringLiteral("Al");
        QVERIFY2(recorder.recordReport(report), qPrintable(recorder.lastError().text()));
        QVERIFY(recorder.recordReport(report)); // the same report from another GARRISON
        QCOMPARE(HistoryQueries(again).reports().size(), 1);
        BanRecord ban;
        ban.guid = QStringLiteral("123456");
        HistoryBans banTable(again);
        QVERIFY2(banTable.add(ban), qPrintable(banTable.lastError().text()));
    }

    // The history and the files SQLite keeps beside it are the owner's only, from the start.
    // An older version's file, open to others and in use (its WAL and shared memory then
    // exist, with the file's mode), is closed to them.
    void filesAreTheOwnersOnly_data()
    {
        addTextRows({"olderMode"}, {{"fresh", ""}, {"older file in use", "644"}});
    }
    void filesAreTheOwnersOnly()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows files carry no Unix mode; the history lies in the user's own folders");
#endif
        QFETCH(QString, olderMode);
        const QString file = path(QStringLiteral("own.sqlite"));
        QSqlDatabase older;
        if (!olderMode.isEmpty()) {
            QCOMPARE(HistoryDatabase(sqlite(file)).open(), HistoryDatabase::State::Ready);
            QCOMPARE(::chmod(QFile::encodeName(file).constData(), olderMode.toUInt(nullptr, 8)), 0);
            older = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "older");
            older.setDatabaseName(file);
            QVERIFY(older.open());
            QVERIFY(QSqlQuery(older).exec(QStringLiteral("UPDATE meta SET value = value")));
            QCOMPARE(mode(file + QStringLiteral("-wal")), olderMode);
        }
        {
            HistoryDatabase database(sqlite(file));
            QCOMPARE(database.open(), HistoryDatabase::State::Ready);
            HistoryRecorder recorder(database);
            Cases::Script{{"A@0: 0|1|1111111111|Bob|198.51.100.7:1"}}.play(recorder);
            for (const char* suffix : {"", "-wal", "-shm"}) {
                QCOMPARE(mode(file + QLatin1String(suffix)), QStringLiteral("600"));
            }
        }
        older.close();
        older = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("older"));
    }

    // Files GARRISON cannot use are opened as far as they allow and never changed.
    void filesAreLeftAsTheyAre_data()
    {
        addTextRows({"content", "state", "problem"},
                    {{"damaged", "garbage", "Unavailable", "cannot be used"},
                     {"another program's", "foreign", "Unavailable", "tables of another program"},
                     {"newer version", "newer", "ReadOnly", "newer GARRISON (version 7)"},
                     {"read-only file", "read-only", "ReadOnly", "is read-only"}});
    }
    void filesAreLeftAsTheyAre()
    {
        QFETCH(QString, content);
        QFETCH(QString, state);
        QFETCH(QString, problem);
#ifndef Q_OS_WIN
        if (content == u"read-only" && geteuid() == 0) {
            QSKIP("root writes to read-only files");
        }
#endif
        const bool readOnly = state == QLatin1String("ReadOnly");
        const QString file = path(QStringLiteral("old.sqlite"));
        if (content == QLatin1String("garbage")) {
            QFile garbage(file);
            QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(8192, 'Z')));
        } else if (content == QLatin1String("foreign")) {
            writeDatabase(file, {QStringLiteral("CREATE TABLE scores (a, b)")});
        } else {
            {
                HistoryDatabase current(sqlite(file));
                QCOMPARE(current.open(), HistoryDatabase::State::Ready);
                HistoryRecorder recorder(current);
                Cases::Script{{"A@0: 0|1|1111111111|Bob|198.51.100.7:1"}}.play(recorder);
            }
            writeDatabase(file, {content == u"newer" ? "UPDATE meta SET value = '7'" : "SELECT 1",
                                 "PRAGMA journal_mode=DELETE"});
            if (content == u"read-only") {
                QFile::setPermissions(file, QFile::ReadOwner);
            }
        }
        const QByteArray before = digest(file);

        History history;
        QSignalSpy said(&history, &History::statusMessage);
        history.open(sqlite(file), 90);
        HistoryDatabase database(sqlite(file));
        QCOMPARE(database.open(),
                 readOnly ? HistoryDatabase::State::ReadOnly : HistoryDatabase::State::Unavailable);
        QVERIFY2(database.problem().contains(problem), qPrintable(database.problem()));
        QCOMPARE(said.count(), 1);
        recordEve(history);
        if (readOnly) {
            QCOMPARE(history.state(), History::State::ReadOnly);
            QCOMPARE(history.queries()->search(QStringLiteral("bob")).size(), 1);
        }
        history.close();
        QCOMPARE(said.count(), 1);
        QCOMPARE(digest(file), before);
    }

    // Another program holds the write lock: nothing waits, recording resumes when it is free.
    void lockedFilePausesAndResumes()
    {
        m_database.reset();
        const QString file = path();
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
        other.setDatabaseName(file);
        QVERIFY(other.open());
        QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE"));

        History history;
        history.setRetryInterval(50);
        QSignalSpy said(&history, &History::statusMessage);
        history.open(sqlite(file), 90);
        QElapsedTimer clock;
        clock.start();
        recordEve(history);
        QVERIFY(clock.elapsed() < 1000);
        QTRY_COMPARE(history.state(), History::State::Paused);
        QVERIFY(said.last().first().toString().contains(QStringLiteral("locked")));
        const qsizetype messages = said.count();
        QTest::qWait(200);
        QCOMPARE(said.count(), messages);

        QSqlQuery(other).exec(QStringLiteral("COMMIT"));
        QTRY_COMPARE(history.state(), History::State::Recording);
        recordEve(history);
        QVERIFY2(history.queries(), qPrintable(history.problem()));
        QCOMPARE(history.queries()->search(QStringLiteral("eve")).size(), 1);
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
    }

    void actionsNotesForgetAndRetention()
    {
        HistoryRecorder recorder(*m_database);
        HistoryQueries queries(*m_database);
        Cases::Script{
            {"A@0: 0|1|1111111111|Old|198.51.100.1:1; 1|1|2222222222|Kept|198.51.100.2:1",
             "A@" + QString::number(24 * 60 * 100) + ": 1|1|2222222222|Kept|198.51.100.2:1"}}
            .play(recorder);
        QVERIFY(recorder.recordAction({Cases::kStart + 60, Cases::kServer, "alice", "kick ^1Old",
                                       "1111111111", "^1Old", "0", "198.51.100.1:1", ""}));
        const qint64 old = *queries.playerId(Cases::kServer, "1111111111", "");
        const qint64 kept = *queries.playerId(Cases::kServer, "2222222222", "");
        const PlayerRecord record = *queries.record(old);
        QCOMPARE(record.actions.size(), 1);
        QCOMPARE(record.actions.first().actor, QStringLiteral("alice"));
        QCOMPARE(record.actions.first().command, QStringLiteral("kick ^1Old"));
        QVERIFY(queries.tooltipText(Cases::kServer, "1111111111", "")
                    .endsWith(QStringLiteral(", 1 name")));

        // 90 days before the last status: the first one goes, the action stays.
        QVERIFY(queries.purge(Cases::kStart + 10 * 24 * 3600));
        recorder.forgetCache();
        QCOMPARE(queries.record(old)->names.size(), 0);
        QCOMPARE(queries.record(old)->actions.size(), 1);
        QCOMPARE(queries.record(kept)->sessions.size(), 1);
        QCOMPARE(queries.record(kept)->names.size(), 1);
        QCOMPARE(Cases::count(*m_database, "SELECT count(*) FROM player_counts"), 1);

        QVERIFY(queries.setNotes(kept, QStringLiteral("cheats, see demo")));
        QCOMPARE(queries.record(kept)->notes, QStringLiteral("cheats, see demo"));
        QVERIFY(queries.forget(old));
        QVERIFY(!queries.record(old));
        QCOMPARE(Cases::count(*m_database, "SELECT count(*) FROM actions"), 0);
        QCOMPARE(queries.search(QStringLiteral("old")).size(), 0);
        // Seen again after being forgotten: a new player, with nothing of before.
        Cases::Script{
            {"A@" + QString::number(24 * 60 * 100 + 1) + ": 0|1|1111111111|Old|198.51.100.1:1"}}
            .play(recorder);
        const qint64 again = *queries.playerId(Cases::kServer, "1111111111", "");
        QCOMPARE(queries.record(again)->names.size(), 1);
        QCOMPARE(queries.record(again)->sessions.size(), 1);
        // A database that went away: the action is not reported as recorded.
        m_database->db().close();
        QVERIFY(!recorder.recordAction({Cases::kStart + 120, Cases::kServer, "alice", "kick ^1Old",
                                        "1111111111", "^1Old", "0", "198.51.100.1:1", ""}));
    }

    // The lines a user sees in the exported files: names as the game shows them, the player
    // named in his record's first line. "record" is a record with two names (the coloured one
    // the latest), "unnamed" one whose names are purged, "search" a search result.
    void csvTexts_data()
    {
        addTextRows(
            {"csv", "line"},
            {{"player named by his latest name", "record",
              "RedBaron,1111111111,2025-12-06 05:46:40,cheats"},
             {"names without colour codes", "record",
              "RedBaron,192.0.2.1:28960,2025-12-06 05:46:40,2025-12-06 06:46:40"},
             {"host name without colour codes", "record",
              "192.0.2.1:28960,Host A,2025-12-06 05:46:40,2025-12-06 06:46:40,17"},
             {"action: the name shown, the command as sent", "record",
              "2025-12-06 06:46:40,192.0.2.1:28960,alice,kick ^1Red^7Baron,RedBaron,3,"
              "198.51.100.7:28960,tk"},
             {"no name left: the guid", "unnamed", "1111111111,1111111111,2025-12-06 05:46:40,"},
             {"search hit without colour codes", "search",
              "RedBaron,1111111111,192.0.2.1:28960,2025-12-06 06:46:40"}});
    }
    void csvTexts()
    {
        QFETCH(QString, csv);
        QFETCH(QString, line);
        const HistoryTime later = Cases::kStart + 3600;
        PlayerRecord record;
        record.guid = QStringLiteral("1111111111");
        record.notes = QStringLiteral("cheats");
        record.firstSeen = Cases::kStart;
        record.names = {{"^1Red^7Baron", Cases::kServer, Cases::kStart, later},
                        {"Baron", Cases::kServer, Cases::kStart, Cases::kStart}};
        record.sessions = {{Cases::kServer, "^3Host ^7A", Cases::kStart, later, "17"}};
        record.actions = {{later, Cases::kServer, "alice", "kick ^1Red^7Baron", "1111111111",
                           "^1Red^7Baron", "3", "198.51.100.7:28960", "tk"}};
        QString text;
        if (csv == u"search") {
            text = HistoryCsv::searchResult(
                {{42, "1111111111", "^1Red^7Baron", Cases::kServer, later}});
        } else {
            if (csv == u"unnamed") {
                record.names.clear();
                record.notes.clear();
            }
            text = HistoryCsv::record(record);
        }
        QVERIFY2(text.split(QStringLiteral("\r\n")).contains(line), qPrintable(text));
    }

    void csvFields_data()
    {
        addTextRows({"text", "field"}, {{"plain", "^1Bob", "^1Bob"},
                                        {"comma", "a,b", "\"a,b\""},
                                        {"quote", "say \"hi\"", "\"say \"\"hi\"\"\""},
                                        {"line break", "a\r\nb", "\"a\r\nb\""},
                                        {"formula", "=cmd()", "\"'=cmd()\""},
                                        {"sign before a formula", "-2+3", "\"'-2+3\""},
                                        {"at sign", "@SUM(A1)", "\"'@SUM(A1)\""},
                                        {"negative score", "-5", "-5"}});
    }
    void csvFields()
    {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QCOMPARE(CsvText::field(text), field);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestHistoryDatabase)
#include "TestHistoryDatabase.moc"
