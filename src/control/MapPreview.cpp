#include "MapPreview.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>
#include <cstdint>

namespace garrison {

namespace {

// A small deterministic generator: the same name gives the same picture on every run and
// every machine (qHash is seeded per process).
class NameRandom {
public:
    explicit NameRandom(const QString& name)
    {
        for (const QChar c : name) {
            m_state = (m_state ^ c.unicode()) * 16777619u;
        }
    }
    std::uint32_t next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    int between(int low, int high) { return low + static_cast<int>(next() % (high - low + 1)); }

private:
    std::uint32_t m_state = 2166136261u;
};

QPixmap canvas(qreal ratio)
{
    QPixmap pixmap(QSize(std::lround(MapPreview::kSize.width() * ratio),
                         std::lround(MapPreview::kSize.height() * ratio)));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void drawCaption(QPainter& painter, const QString& text)
{
    const QRectF band(0, MapPreview::kSize.height() - 22, MapPreview::kSize.width(), 22);
    painter.fillRect(band, QColor(0, 0, 0, 150));
    QFont font = painter.font();
    font.setPixelSize(13);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(band, Qt::AlignCenter, text);
}

void drawBorder(QPainter& painter)
{
    painter.setPen(QPen(QColor(40, 40, 40), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(
        QRectF(0.5, 0.5, MapPreview::kSize.width() - 1, MapPreview::kSize.height() - 1));
}

QPolygonF ridge(NameRandom& random, qreal base, int amplitude, int steps)
{
    const qreal width = MapPreview::kSize.width();
    QPolygonF outline;
    outline << QPointF(0, MapPreview::kSize.height());
    for (int step = 0; step <= steps; ++step) {
        outline << QPointF(width * step / steps, base - random.between(0, amplitude));
    }
    outline << QPointF(width, MapPreview::kSize.height());
    return outline;
}

} // namespace

QPixmap MapPreview::paint(const QString& mapName, qreal devicePixelRatio)
{
    NameRandom random(mapName);
    QPixmap pixmap = canvas(devicePixelRatio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal width = kSize.width();
    const qreal height = kSize.height();
    const qreal horizon = random.between(52, 70);

    const int skyHue = random.between(180, 250);
    const int dusk = random.between(0, 3) == 0 ? 1 : 0;
    QLinearGradient sky(0, 0, 0, horizon);
    sky.setColorAt(0, QColor::fromHsv(skyHue, 120 + 60 * dusk, 200 - 90 * dusk));
    sky.setColorAt(1, dusk ? QColor::fromHsv(random.between(15, 40), 150, 230)
                           : QColor::fromHsv(skyHue, 40, 245));
    painter.fillRect(QRectF(0, 0, width, horizon + 1), sky);

    painter.setPen(Qt::NoPen);
    painter.setBrush(dusk ? QColor(255, 200, 120) : QColor(255, 250, 220));
    painter.drawEllipse(QPointF(random.between(20, 150), random.between(14, 30)), 8, 8);

    const int groundHue = random.between(25, 110);
    painter.setBrush(QColor::fromHsv(skyHue, 45, 150 - 40 * dusk));
    painter.drawPolygon(ridge(random, horizon, 18, random.between(4, 8)));

    QLinearGradient ground(0, horizon, 0, height);
    ground.setColorAt(0, QColor::fromHsv(groundHue, 110, 150));
    ground.setColorAt(1, QColor::fromHsv(groundHue, 140, 80));
    painter.setBrush(ground);
    painter.drawPolygon(ridge(random, horizon + 6, 6, random.between(3, 6)));

    // Buildings and trees stand on the ground line; their number and places follow the name.
    const QColor shade = QColor::fromHsv(groundHue, 60, 55);
    const int buildings = random.between(1, 4);
    for (int index = 0; index < buildings; ++index) {
        const qreal left = random.between(4, 140);
        const qreal w = random.between(12, 28);
        const qreal h = random.between(10, 30);
        const qreal foot = horizon + random.between(10, 20);
        painter.setBrush(shade);
        painter.drawRect(QRectF(left, foot - h, w, h));
        QPainterPath roof;
        roof.moveTo(left - 2, foot - h);
        roof.lineTo(left + w / 2, foot - h - random.between(4, 10));
        roof.lineTo(left + w + 2, foot - h);
        roof.closeSubpath();
        painter.drawPath(roof);
        painter.setBrush(QColor(255, 230, 150, 200));
        painter.drawRect(QRectF(left + w / 3, foot - h * 0.6, w / 4, h / 5));
    }
    const int trees = random.between(2, 6);
    for (int index = 0; index < trees; ++index) {
        const qreal x = random.between(4, 166);
        const qreal foot = horizon + random.between(8, 24);
        const qreal size = random.between(5, 10);
        painter.setBrush(QColor::fromHsv(random.between(80, 140), 150, 70));
        painter.drawEllipse(QPointF(x, foot - size), size * 0.7, size);
        painter.setBrush(QColor(70, 50, 30));
        painter.drawRect(QRectF(x - 1, foot - 2, 2, 3));
    }

    drawCaption(painter, mapName);
    drawBorder(painter);
    return pixmap;
}

QPixmap MapPreview::paintDefault(qreal devicePixelRatio)
{
    QPixmap pixmap = canvas(devicePixelRatio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient backdrop(0, 0, 0, kSize.height());
    backdrop.setColorAt(0, QColor(92, 98, 88));
    backdrop.setColorAt(1, QColor(48, 52, 46));
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(kSize)), backdrop);

    // A compass rose: the page shows a map once one is chosen.
    const QPointF centre(kSize.width() / 2.0, 44);
    painter.setPen(QPen(QColor(220, 214, 190), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(centre, 26, 26);
    painter.setPen(Qt::NoPen);
    for (int quarter = 0; quarter < 4; ++quarter) {
        painter.save();
        painter.translate(centre);
        painter.rotate(90.0 * quarter);
        painter.setBrush(quarter == 0 ? QColor(200, 70, 50) : QColor(220, 214, 190));
        painter.drawPolygon(QPolygonF{QPointF(0, -30), QPointF(6, 0), QPointF(-6, 0)});
        painter.restore();
    }
    drawCaption(painter, QStringLiteral("No map selected"));
    drawBorder(painter);
    return pixmap;
}

} // namespace garrison
