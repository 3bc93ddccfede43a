#include "ReadableColours.h"

#include "platform/ColourContrast.h"

#include <QWidget>

namespace garrison::ReadableColours {

namespace {
unsigned int rgb(const QColor& colour)
{
    return colour.rgb() & 0xFFFFFF;
}
} // namespace

bool isDark(const QPalette& palette)
{
    return ColourContrast::isDark(rgb(palette.color(QPalette::Window)));
}

void setTranscriptBackground(QWidget& box, const QPalette& palette)
{
    QPalette shown = box.palette();
    shown.setColor(QPalette::Base, isDark(palette) ? palette.color(QPalette::Base).lighter(135)
                                                   : QColor(0xE0, 0xE0, 0xE0));
    shown.setColor(QPalette::Text, palette.color(QPalette::Text));
    box.setPalette(shown);
}

QColor link(const QPalette& palette)
{
    return QColor::fromRgb(ColourContrast::readableOn(rgb(palette.color(QPalette::Link)),
                                                      rgb(palette.color(QPalette::Window))));
}

} // namespace garrison::ReadableColours
