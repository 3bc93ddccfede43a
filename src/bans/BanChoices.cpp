#include "BanChoices.h"

#include "bans/BanSource.h"
#include "platform/SettingsStore.h"

namespace garrison::BanChoices {

namespace {
const QString kSection = QStringLiteral("[Bans]");
const QString kReasons = QStringLiteral("Reasons");
} // namespace

QStringList defaultReasons()
{
    return {QStringLiteral("Cheating"),          QStringLiteral("Aimbot"),
            QStringLiteral("Wallhack"),          QStringLiteral("Team killing"),
            QStringLiteral("Spawn killing"),     QStringLiteral("Abusive language"),
            QStringLiteral("Spamming the chat"), QStringLiteral("Exploiting a map glitch"),
            QStringLiteral("Ban evasion")};
}

QStringList reasons()
{
    const QString text = SettingsStore::read(kSection, kReasons);
    QStringList list;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty()) {
            list.append(line.trimmed());
        }
    }
    return list.isEmpty() ? defaultReasons() : list;
}

void setReasons(const QStringList& reasons)
{
    SettingsStore::write(kSection, kReasons, reasons.join(QLatin1Char('\n')));
}

QStringList offeredReasons(const BanSource* source)
{
    const QStringList set = source ? source->reasons() : QStringList();
    return set.isEmpty() ? reasons() : set;
}

const QList<Duration>& durations()
{
    using std::chrono::hours;
    static const QList<Duration> list{
        {QStringLiteral("Permanent"), std::nullopt}, {QStringLiteral("1 hour"), hours(1)},
        {QStringLiteral("1 day"), hours(24)},        {QStringLiteral("7 days"), hours(7 * 24)},
        {QStringLiteral("30 days"), hours(30 * 24)},
    };
    return list;
}

QString cleanText(const QString& text)
{
    QString clean = text.left(kMaxText);
    for (QChar& character : clean) {
        if (character.unicode() < 0x20 || character.unicode() == 0x7f) {
            character = QLatin1Char(' ');
        }
    }
    return clean.trimmed();
}

} // namespace garrison::BanChoices
