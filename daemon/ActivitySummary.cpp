#include "ActivitySummary.h"

#include <QStringList>

namespace garrisond {

namespace {
const QString kOtherCommands = QStringLiteral("other commands");
constexpr qsizetype kMaxWord = 32;

bool isCommand(const QString& kind)
{
    return kind.startsWith(QLatin1String("command"));
}

} // namespace

QString ActivitySummary::kindOf(const QString& event, const QString& detail)
{
    if (!isCommand(event)) {
        return event;
    }
    const QString word = detail.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    return event + QLatin1Char(' ') + word.left(kMaxWord).toLower();
}

bool ActivitySummary::admit(const QString& account, const QString& who, const QString& address,
                            const QString& kind, const QDateTime& now)
{
    Window& window = m_accounts[account];
    if (!window.start.isValid()) {
        window.start = now;
        window.who = who;
        window.address = address;
    }
    if (window.who != who) {
        window.who = account + QStringLiteral("/*");
    }
    if (window.address != address) {
        window.address = QStringLiteral("*");
    }
    const auto full = window.full.find(kind);
    if (full == window.full.end()) {
        if (isCommand(kind)) {
            if (window.words == kMaxWords) {
                ++window.counted[kOtherCommands];
                return false;
            }
            ++window.words;
        }
        window.full.insert(kind, 1);
        return true;
    }
    if (*full < kFullPerKind) {
        ++*full;
        return true;
    }
    ++window.counted[kind];
    return false;
}

QList<ActivitySummary::Summary> ActivitySummary::takeEnded(const QDateTime& now, bool everything)
{
    QList<Summary> summaries;
    for (auto it = m_accounts.begin(); it != m_accounts.end();) {
        const Window& window = it.value();
        if (!everything && window.start.addSecs(kWindow.count()) > now) {
            ++it;
            continue;
        }
        if (!window.counted.isEmpty()) {
            int total = 0;
            QStringList parts;
            for (auto count = window.counted.cbegin(); count != window.counted.cend(); ++count) {
                total += count.value();
                parts.append(count.key() + QLatin1Char(' ') + QString::number(count.value()));
            }
            summaries.append({window.address, window.who,
                              QStringLiteral("%1 more in %2 s: %3")
                                  .arg(total)
                                  .arg(window.start.secsTo(now))
                                  .arg(parts.join(QStringLiteral(", ")))});
        }
        it = m_accounts.erase(it);
    }
    return summaries;
}

} // namespace garrisond
