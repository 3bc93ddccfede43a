#include "TestMain.h"
#include "history/PlayerCountChart.h"

#include <QImage>

using namespace garrison;

namespace {

QList<qint64> values(const QList<PlayerCountChart::Tick>& ticks)
{
    QList<qint64> at;
    for (const PlayerCountChart::Tick& tick : ticks) {
        at.append(tick.at);
    }
    return at;
}

} // namespace

class TestPlayerCountChart : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Always one step above the most, so that the highest point shows whole, in a few steps.
    void countTicks_data()
    {
        QTest::addColumn<int>("most");
        QTest::addColumn<QList<qint64>>("ticks");
        QTest::newRow("nobody") << 0 << QList<qint64>{0, 1};
        QTest::newRow("small") << 4 << QList<qint64>{0, 1, 2, 3, 4, 5};
        QTest::newRow("steps of two") << 5 << QList<qint64>{0, 2, 4, 6};
        QTest::newRow("steps of five") << 10 << QList<qint64>{0, 5, 10, 15};
        QTest::newRow("full server") << 64 << QList<qint64>{0, 20, 40, 60, 80};
    }
    void countTicks()
    {
        QFETCH(int, most);
        QFETCH(QList<qint64>, ticks);
        QCOMPARE(values(PlayerCountChart::countTicks(most)), ticks);
    }

    // Whole local hours divisible by three, or local midnights, inside the period only.
    // Dates far from any change of summer time.
    void timeTicks_data()
    {
        QTest::addColumn<QDateTime>("from");
        QTest::addColumn<bool>("days");
        QTest::addColumn<QDateTime>("first");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("stepHours");
        const QDate day(2024, 6, 10);
        QTest::newRow("day") << QDateTime(day, QTime(10, 20)) << false
                             << QDateTime(day, QTime(12, 0)) << 8 << 3;
        QTest::newRow("day from a mark")
            << QDateTime(day, QTime(9, 0)) << false << QDateTime(day, QTime(9, 0)) << 9 << 3;
        QTest::newRow("week") << QDateTime(day, QTime(10, 20)) << true
                              << QDateTime(day.addDays(1), QTime(0, 0)) << 7 << 24;
    }
    void timeTicks()
    {
        QFETCH(QDateTime, from);
        QFETCH(bool, days);
        QFETCH(QDateTime, first);
        QFETCH(int, count);
        QFETCH(int, stepHours);
        const QDateTime to = from.addDays(days ? 7 : 1);
        const QList<PlayerCountChart::Tick> ticks = PlayerCountChart::timeTicks(from, to, days);
        QCOMPARE(ticks.size(), count);
        for (qsizetype i = 0; i < ticks.size(); ++i) {
            QCOMPARE(ticks[i].at, first.toSecsSinceEpoch() + i * stepHours * 3600);
            QVERIFY(!ticks[i].label.isEmpty());
        }
    }

    // Replies far apart are not joined by a line, and a lone one still shows as a point.
    void gapsBreakTheLine()
    {
        const QDateTime from(QDate(2024, 6, 10), QTime(10, 0));
        const qint64 start = from.toSecsSinceEpoch();
        QList<CountSample> samples;
        for (int minute = 5; minute <= 35; ++minute) {
            samples.append({start + minute * 60, 10 + minute % 3});
        }
        samples.append({start + 90 * 60, 4});
        PlayerCountChart chart;
        chart.resize(400, 200);
        chart.setSeries(QStringLiteral("127.0.0.1:28960"), samples, from, from.addSecs(100 * 60),
                        false);
        const QImage image = chart.grab().toImage();
        const QColor line = chart.palette().color(QPalette::Highlight);
        QList<int> drawn;
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < image.height(); ++y) {
                const QColor pixel = image.pixelColor(x, y);
                if (std::abs(pixel.red() - line.red()) + std::abs(pixel.green() - line.green()) +
                        std::abs(pixel.blue() - line.blue()) <
                    30) {
                    drawn.append(x);
                    break;
                }
            }
        }
        QList<QList<int>> groups;
        for (const int x : drawn) {
            if (groups.isEmpty() || groups.last().last() != x - 1) {
                groups.append(QList<int>());
            }
            groups.last().append(x);
        }
        QCOMPARE(groups.size(), 2);
        QVERIFY2(groups[0].size() > 50, qPrintable(QString::number(groups[0].size())));
        QVERIFY2(groups[1].size() <= 8, qPrintable(QString::number(groups[1].size())));
    }
};

GARRISON_TEST_MAIN(TestPlayerCountChart)
#include "TestPlayerCountChart.moc"
