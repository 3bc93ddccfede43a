#include "PlayerCountChart.h"

#include <QHelpEvent>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace garrison {

namespace {

constexpr int kHourStep = 3;
constexpr qreal kPointRadius = 2.5;
constexpr qreal kHoverDistance = 12.0;

// The points of one column keep only the lowest and the highest of them.
QPolygonF reduced(const QPolygonF& points)
{
    QPolygonF kept;
    kept.reserve(points.size());
    const auto column = [](const QPointF& point) { return std::floor(point.x()); };
    for (const QPointF& point : points) {
        const qsizetype size = kept.size();
        if (size >= 2 && column(kept[size - 1]) == column(point) &&
            column(kept[size - 2]) == column(point)) {
            QPointF& first = kept[size - 2];
            QPointF& second = kept[size - 1];
            QPointF& upper = first.y() < second.y() ? first : second;
            QPointF& lower = first.y() < second.y() ? second : first;
            if (point.y() < upper.y()) {
                upper = point;
            } else if (point.y() > lower.y()) {
                lower = point;
            }
            continue;
        }
        kept.append(point);
    }
    return kept;
}

} // namespace

PlayerCountChart::PlayerCountChart(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(tr("Player count"));
    m_countTicks = countTicks(0);
}

void PlayerCountChart::setSeries(const QString& name, const QList<CountSample>& samples,
                                 const QDateTime& from, const QDateTime& to, bool days)
{
    m_name = name;
    m_samples = samples;
    m_from = from.toSecsSinceEpoch();
    m_to = std::max(to.toSecsSinceEpoch(), m_from + 1);
    m_days = days;
    int most = 0;
    for (const CountSample& sample : samples) {
        most = std::max(most, sample.count);
    }
    m_countTicks = countTicks(most);
    m_timeTicks = timeTicks(from, to, days);
    update();
}

QList<PlayerCountChart::Tick> PlayerCountChart::countTicks(int most)
{
    // Room above the most, so that the highest point shows whole.
    const int top = std::max(most, 0) + 1;
    int step = 1;
    for (const int nice : {1, 2, 5, 10, 20, 50}) {
        step = nice;
        if (top <= nice * 5) {
            break;
        }
    }
    QList<Tick> ticks;
    const int last = (top + step - 1) / step * step;
    for (int count = 0; count <= last; count += step) {
        ticks.append({count, QString::number(count)});
    }
    return ticks;
}

QList<PlayerCountChart::Tick> PlayerCountChart::timeTicks(const QDateTime& from,
                                                          const QDateTime& to, bool days)
{
    QList<Tick> ticks;
    const QLocale locale;
    // The hours need no seconds, which some locales' short format has.
    QString hourFormat = locale.timeFormat(QLocale::ShortFormat);
    hourFormat.remove(QRegularExpression(QStringLiteral("[:.]ss?")));
    const QDateTime local = from.toLocalTime();
    QDateTime at = days ? QDateTime(local.date(), QTime(0, 0))
                        : QDateTime(local.date(), QTime(local.time().hour(), 0));
    while (at < from || (!days && at.time().hour() % kHourStep != 0)) {
        at = days ? QDateTime(at.date().addDays(1), QTime(0, 0)) : at.addSecs(3600);
    }
    while (at <= to) {
        ticks.append(
            {at.toSecsSinceEpoch(), days ? locale.toString(at.date(), QStringLiteral("ddd d"))
                                         : locale.toString(at.time(), hourFormat)});
        at = days ? QDateTime(at.date().addDays(1), QTime(0, 0)) : at.addSecs(kHourStep * 3600);
    }
    return ticks;
}

QSize PlayerCountChart::sizeHint() const
{
    return {480, 240};
}

QSize PlayerCountChart::minimumSizeHint() const
{
    const int line = fontMetrics().height();
    return {line * 12, line * 6};
}

QRectF PlayerCountChart::plotArea() const
{
    const QFontMetrics metrics = fontMetrics();
    const int widest = metrics.horizontalAdvance(m_countTicks.constLast().label);
    const qreal left = widest + metrics.averageCharWidth() * 2;
    // Half a time label may stand out on the right.
    const qreal right = metrics.horizontalAdvance(QStringLiteral("00:00")) / 2.0 + 4;
    const qreal top = metrics.height() / 2.0 + 2;
    const qreal bottom = metrics.height() + 8;
    return QRectF(rect()).adjusted(left, top, -right, -bottom);
}

QPointF PlayerCountChart::position(const CountSample& sample, const QRectF& area) const
{
    const qreal top = qreal(m_countTicks.constLast().at);
    const qreal x = area.left() + area.width() * qreal(sample.at - m_from) / qreal(m_to - m_from);
    const qreal y = area.bottom() - area.height() * qreal(sample.count) / top;
    return {x, y};
}

void PlayerCountChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QRectF area = plotArea();
    if (area.width() < 10 || area.height() < 10) {
        return;
    }
    painter.fillRect(area, palette().base());
    const QFontMetrics metrics = fontMetrics();
    QColor grid = palette().color(QPalette::Text);
    grid.setAlphaF(0.12f);
    painter.setPen(QPen(grid, 0));

    const qreal top = qreal(m_countTicks.constLast().at);
    for (const Tick& tick : m_countTicks) {
        const qreal y = area.bottom() - area.height() * qreal(tick.at) / top;
        painter.setPen(QPen(grid, 0));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRectF(0, y - metrics.height() / 2.0, area.left() - 6, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, tick.label);
    }
    for (const Tick& tick : m_timeTicks) {
        const qreal x = area.left() + area.width() * qreal(tick.at - m_from) / qreal(m_to - m_from);
        painter.setPen(QPen(grid, 0));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.setPen(palette().color(QPalette::WindowText));
        const qreal width = metrics.horizontalAdvance(tick.label) + 2;
        painter.drawText(QRectF(x - width / 2, area.bottom() + 4, width, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, tick.label);
    }
    painter.setPen(QPen(palette().color(QPalette::Mid), 0));
    painter.drawRect(area);

    if (m_samples.isEmpty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap,
                         tr("No status replies recorded in this period"));
        return;
    }

    // Runs of replies without a long gap, each a line; a run of one is a point. A week of
    // replies every few seconds is reduced to a few points per column.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(area.adjusted(-kPointRadius, -kPointRadius, kPointRadius, kPointRadius));
    const QColor line = palette().color(QPalette::Highlight);
    QColor fill = line;
    fill.setAlphaF(0.18f);
    QList<QPolygonF> runs;
    QList<QPointF> lone;
    QPolygonF run;
    const auto finishRun = [&] {
        if (run.size() == 1) {
            lone.append(run.constFirst());
        } else if (!run.isEmpty()) {
            runs.append(reduced(run));
        }
        run.clear();
    };
    qint64 previous = 0;
    for (const CountSample& sample : m_samples) {
        if (!run.isEmpty() && sample.at - previous > kGapSeconds) {
            finishRun();
        }
        previous = sample.at;
        run.append(position(sample, area));
    }
    finishRun();

    for (const QPolygonF& polygon : runs) {
        QPainterPath under;
        under.moveTo(polygon.constFirst().x(), area.bottom());
        for (const QPointF& point : polygon) {
            under.lineTo(point);
        }
        under.lineTo(polygon.constLast().x(), area.bottom());
        under.closeSubpath();
        painter.fillPath(under, fill);
        painter.setPen(QPen(line, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(polygon);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(line);
    for (const QPointF& point : lone) {
        painter.drawEllipse(point, kPointRadius, kPointRadius);
    }
    // Few replies: every one is marked.
    if (m_samples.size() * 8 < area.width()) {
        for (const CountSample& sample : m_samples) {
            painter.drawEllipse(position(sample, area), kPointRadius, kPointRadius);
        }
    }
}

bool PlayerCountChart::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip) {
        return QWidget::event(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    const QRectF area = plotArea();
    const CountSample* nearest = nullptr;
    qreal distance = kHoverDistance;
    for (const CountSample& sample : m_samples) {
        const qreal away = std::abs(position(sample, area).x() - help->pos().x());
        if (away <= distance) {
            distance = away;
            nearest = &sample;
        }
    }
    if (nearest == nullptr) {
        QToolTip::showText(help->globalPos(), toolTip(), this);
        return true;
    }
    const QString when =
        QLocale().toString(QDateTime::fromSecsSinceEpoch(nearest->at), QLocale::ShortFormat);
    QToolTip::showText(help->globalPos(),
                       nearest->count == 1 ? tr("%1: 1 player").arg(when)
                                           : tr("%1: %2 players").arg(when).arg(nearest->count),
                       this);
    return true;
}

} // namespace garrison
