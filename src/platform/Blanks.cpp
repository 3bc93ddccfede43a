#include "Blanks.h"

namespace garrison {

namespace {
constexpr QChar kBlank = QLatin1Char(' ');
}

QString Blanks::trim(const QString& text)
{
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && text.at(first) == kBlank) {
        ++first;
    }
    while (end > first && text.at(end - 1) == kBlank) {
        --end;
    }
    return text.mid(first, end - first);
}

QString Blanks::trimLeading(const QString& text)
{
    qsizetype first = 0;
    while (first < text.size() && text.at(first) == kBlank) {
        ++first;
    }
    return text.mid(first);
}

} // namespace garrison
