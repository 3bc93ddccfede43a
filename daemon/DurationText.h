#pragma once

#include <QList>
#include <QString>
#include <chrono>
#include <optional>

namespace garrisond {

// Durations as the configuration writes them: a whole number and its unit, s, m or h ("90s",
// "15m", "2h"). A bare number is refused: "restart_warnings = 15, 5" would be read as seconds
// by someone who meant minutes.
class DurationText {
public:
    static constexpr std::chrono::seconds kMax{7 * 24 * 3600};

    // Nothing when the text is not one duration of at most kMax.
    static std::optional<std::chrono::seconds> parse(const QString& text);
    // Comma-separated durations; nothing when one of them is not a duration. An empty text is
    // an empty list.
    static std::optional<QList<std::chrono::seconds>> parseList(const QString& text);
    // For players: "15 minutes", "1 minute", "1 hour 30 minutes", "45 seconds".
    static QString inWords(std::chrono::seconds duration);
};

} // namespace garrisond
