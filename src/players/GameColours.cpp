#include "GameColours.h"

#include "platform/ColourContrast.h"

#include <array>

namespace garrison::GameColours {

namespace {

constexpr std::array<unsigned int, 8> kRgb = {0x000000, 0xFF0000, 0x00FF00, 0xFFFF00,
                                              0x0000FF, 0x00FFFF, 0xFF00FF, 0xFFFFFF};

} // namespace

QList<Run> runs(QStringView text)
{
    QList<Run> result;
    Run current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('^') && i + 1 < text.size() && text[i + 1] >= QLatin1Char('0') &&
            text[i + 1] <= QLatin1Char('7')) {
            if (!current.text.isEmpty()) {
                result.append(current);
                current.text.clear();
            }
            current.code = text[i + 1].unicode() - '0';
            ++i;
            continue;
        }
        current.text.append(c);
    }
    if (!current.text.isEmpty()) {
        result.append(current);
    }
    return result;
}

QString shownText(QStringView text)
{
    QString shown;
    for (const Run& run : runs(text)) {
        shown += run.text;
    }
    return shown;
}

unsigned int rgb(int code)
{
    return kRgb[static_cast<size_t>(code >= 0 && code < 8 ? code : kDefaultCode)];
}

unsigned int shownOn(int code, unsigned int background)
{
    return ColourContrast::readableOn(rgb(code), background);
}

} // namespace garrison::GameColours
