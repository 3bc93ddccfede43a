#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

namespace garrison {

class BanSource;

// What the ban dialog offers: reason templates and durations.
namespace BanChoices {

struct Duration {
    QString label;
    // None: permanent.
    std::optional<std::chrono::seconds> length;
};

// "[Bans]", "Reasons" in the settings store, one template a line; the defaults until the
// administrator writes a list of his own.
QStringList reasons();
void setReasons(const QStringList& reasons);
QStringList defaultReasons();
// What a ban dialog offers in a session whose bans are `source`'s: the reasons it sets (a
// daemon's), else this computer's.
QStringList offeredReasons(const BanSource* source);

// Permanent, 1 hour, 1 day, 7 days, 30 days; the dialog adds "Custom".
const QList<Duration>& durations();

// A reason or note as it is kept: control bytes become blanks, and it is cut at kMaxText.
QString cleanText(const QString& text);
constexpr int kMaxText = 2000;

} // namespace BanChoices

} // namespace garrison
