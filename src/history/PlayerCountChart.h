#pragma once

#include "history/HistoryTypes.h"

#include <QDateTime>
#include <QList>
#include <QWidget>

namespace garrison {

// The player count of one server over a period: players up the left, time along the bottom,
// a line through the status replies. Where no reply came for a while nobody watched, and the
// line stops; a lone reply is a point. Hovering shows the nearest reply's time and count.
// Drawn with QPainter in the palette's colours, so it needs no chart library.
class PlayerCountChart : public QWidget {
    Q_OBJECT

public:
    // Replies further apart than this are not joined.
    static constexpr qint64 kGapSeconds = 10 * 60;

    struct Tick {
        qint64 at = 0; // seconds since the epoch, or players on the count axis
        QString label;
    };

    explicit PlayerCountChart(QWidget* parent = nullptr);

    // name: the server ("address:port"). The period runs from `from` to `to`; with `days`,
    // the time axis is marked by days, else by hours.
    void setSeries(const QString& name, const QList<CountSample>& samples, const QDateTime& from,
                   const QDateTime& to, bool days);
    const QString& seriesName() const { return m_name; }
    const QList<CountSample>& samples() const { return m_samples; }

    // The marks of the count axis from 0 up to just above the most players, at a step that
    // leaves a few of them.
    static QList<Tick> countTicks(int most);
    // The marks of the time axis: whole local hours (every third) or local midnights within
    // the period.
    static QList<Tick> timeTicks(const QDateTime& from, const QDateTime& to, bool days);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF plotArea() const;
    QPointF position(const CountSample& sample, const QRectF& area) const;

    QString m_name;
    QList<CountSample> m_samples;
    qint64 m_from = 0;
    qint64 m_to = 1;
    bool m_days = false;
    QList<Tick> m_countTicks;
    QList<Tick> m_timeTicks;
};

} // namespace garrison
