#include "DurationText.h"
#include "RestartSchedule.h"
#include "TestMain.h"
#include "TextRows.h"

#include <ctime>

using garrisond::DurationText;
using garrisond::RestartSchedule;

namespace {

QDateTime at(const QString& text)
{
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString shown(const QDateTime& time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

} // namespace

// The daily restarts and their warnings, reckoned in local time (UTC here).
class TestRestartSchedule : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        ::tzset();
    }
    // Durations need their unit; the words are what players read.
    void durations_data()
    {
        garrison::test::addTextRows({"text", "seconds", "words"},
                                    {{"seconds", "90s", "90", "1 minute 30 seconds"},
                                     {"one minute", "1m", "60", "1 minute"},
                                     {"minutes", "15m", "900", "15 minutes"},
                                     {"hours", "2h", "7200", "2 hours"},
                                     {"a week", "168h", "604800", "168 hours"},
                                     {"every unit", "3661s", "3661", "1 hour 1 minute 1 second"},
                                     {"zero", " 0s ", "0", "0 seconds"},
                                     {"bare number", "15", "", ""},
                                     {"blank before the unit", "5 m", "", ""},
                                     {"negative", "-5m", "", ""},
                                     {"fraction", "1.5h", "", ""},
                                     {"unit alone", "m", "", ""},
                                     {"unknown unit", "5d", "", ""},
                                     {"over a week", "169h", "", ""}});
    }
    void durations()
    {
        QFETCH(QString, text);
        QFETCH(QString, seconds);
        QFETCH(QString, words);
        const std::optional<std::chrono::seconds> duration = DurationText::parse(text);
        QCOMPARE(duration ? QString::number(duration->count()) : QString(), seconds);
        if (duration) {
            QCOMPARE(DurationText::inWords(*duration), words);
        }
    }
    // What falls due between two checks (the watch checks at `step`, the next moment with
    // something to do), and the next restart after the second check.
    void schedule_data()
    {
        garrison::test::addTextRows(
            {"times", "warnings", "skips", "from", "to", "due", "next", "step"},
            {{"first warning", "04:00", "15m, 5m, 1m", "0", "2024-05-01 03:44:30",
              "2024-05-01 03:45:00", "warning 15 minutes", "2024-05-01 04:00:00",
              "2024-05-01 03:55:00"},
             {"a late check says only the latest", "04:00", "15m, 5m, 1m", "0",
              "2024-05-01 03:44:00", "2024-05-01 03:56:00", "warning 5 minutes",
              "2024-05-01 04:00:00", "2024-05-01 03:59:00"},
             {"warnings in any order", "04:00", "1m, 15m, 5m", "0", "2024-05-01 03:58:00",
              "2024-05-01 03:59:00", "warning 1 minute", "2024-05-01 04:00:00",
              "2024-05-01 04:00:00"},
             {"between warnings", "04:00", "15m, 5m, 1m", "0", "2024-05-01 03:46:00",
              "2024-05-01 03:50:00", "nothing", "2024-05-01 04:00:00", "2024-05-01 03:55:00"},
             {"restart", "04:00", "15m, 5m, 1m", "0", "2024-05-01 03:59:30", "2024-05-01 04:00:00",
              "restart 2024-05-01 04:00:00", "2024-05-02 04:00:00", "2024-05-02 03:45:00"},
             {"restart passed while away", "04:00", "15m", "0", "2024-05-01 03:50:00",
              "2024-05-01 04:10:00", "restart 2024-05-01 04:00:00", "2024-05-02 04:00:00",
              "2024-05-02 03:45:00"},
             {"second time of the day", "16:00, 4:00", "15m, 5m, 1m", "0", "2024-05-01 15:44:59",
              "2024-05-01 15:45:00", "warning 15 minutes", "2024-05-01 16:00:00",
              "2024-05-01 15:55:00"},
             {"last one of the day", "04:00, 16:00", "", "0", "2024-05-01 16:00:01",
              "2024-05-01 23:00:00", "nothing", "2024-05-02 04:00:00", "2024-05-02 04:00:00"},
             {"a skipped restart has no warnings", "04:00, 16:00", "15m, 5m, 1m", "1",
              "2024-05-01 03:44:30", "2024-05-01 03:45:00", "nothing", "2024-05-01 16:00:00",
              "2024-05-01 04:00:00"},
             {"a skipped restart passes", "04:00, 16:00", "15m", "1", "2024-05-01 03:59:00",
              "2024-05-01 04:00:00", "nothing", "2024-05-01 16:00:00", "2024-05-01 15:45:00"},
             {"skipped twice", "04:00, 16:00", "15m", "2", "2024-05-01 03:00:00",
              "2024-05-01 03:00:01", "nothing", "2024-05-02 04:00:00", "2024-05-01 04:00:00"},
             {"no times", "", "15m", "0", "2024-05-01 03:00:00", "2024-05-01 05:00:00", "nothing",
              "", ""}});
    }
    void schedule()
    {
        QFETCH(QString, times);
        QFETCH(QString, warnings);
        QFETCH(QString, skips);
        QFETCH(QString, from);
        QFETCH(QString, to);
        const std::optional<QList<QTime>> parsedTimes = RestartSchedule::parseTimes(times);
        const auto parsedWarnings = DurationText::parseList(warnings);
        QVERIFY(parsedTimes && parsedWarnings);
        RestartSchedule schedule;
        schedule.configure(*parsedTimes, *parsedWarnings);
        for (int n = 0; n < skips.toInt(); ++n) {
            QVERIFY(schedule.skipNext(at(from)).isValid());
        }
        const RestartSchedule::Due due = schedule.take(at(from), at(to));
        using Kind = RestartSchedule::Due::Kind;
        const QString said =
            due.kind == Kind::Warning ? QStringLiteral("warning ") + DurationText::inWords(due.left)
            : due.kind == Kind::Restart ? QStringLiteral("restart ") + shown(due.restartAt)
                                        : QStringLiteral("nothing");
        QTEST(said, "due");
        QTEST(shown(schedule.nextRestart(at(to))), "next");
        QTEST(shown(schedule.nextStep(at(to))), "step");
    }
    void refusesBadTimes_data()
    {
        garrison::test::addTextRows({"text"}, {{"no minutes", "4"},
                                               {"one-digit minutes", "4:0"},
                                               {"hour 24", "24:00"},
                                               {"seconds", "04:00:00"},
                                               {"missing comma", "04:00 16:00"},
                                               {"empty item", "04:00,"}});
    }
    void refusesBadTimes()
    {
        QFETCH(QString, text);
        QVERIFY(!RestartSchedule::parseTimes(text));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestRestartSchedule)
#include "TestRestartSchedule.moc"
