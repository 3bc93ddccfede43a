#include "ColourContrast.h"

#include <algorithm>
#include <cmath>

namespace garrison::ColourContrast {

namespace {

double channel(unsigned int value)
{
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(unsigned int colour)
{
    return 0.2126 * channel((colour >> 16) & 0xFF) + 0.7152 * channel((colour >> 8) & 0xFF) +
           0.0722 * channel(colour & 0xFF);
}

unsigned int mix(unsigned int colour, unsigned int target, double amount)
{
    unsigned int mixed = 0;
    for (int shift : {16, 8, 0}) {
        const double from = (colour >> shift) & 0xFF;
        const double to = (target >> shift) & 0xFF;
        mixed |= static_cast<unsigned int>(std::lround(from + (to - from) * amount)) << shift;
    }
    return mixed;
}

} // namespace

double ratio(unsigned int first, unsigned int second)
{
    const double a = luminance(first);
    const double b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

bool isDark(unsigned int background)
{
    return ratio(background, 0xFFFFFF) > ratio(background, 0x000000);
}

unsigned int readableOn(unsigned int colour, unsigned int background, double minimum)
{
    const unsigned int target = isDark(background) ? 0xFFFFFF : 0x000000;
    for (int step = 0; step <= 20; ++step) {
        const unsigned int candidate = mix(colour, target, step / 20.0);
        if (ratio(candidate, background) >= minimum) {
            return candidate;
        }
    }
    return target;
}

} // namespace garrison::ColourContrast
