#pragma once

#include "GameEventSink.h"
#include "Notification.h"

#include <QDateTime>
#include <QHash>
#include <chrono>
#include <optional>

namespace garrisond {

class Webhook;

// Posts the game's alerts and players' reports to the webhook; the rest of the game log's
// events would flood it. So would a player who repeats an alert word: one post per word and
// player within the repeat window, and the next post after it counts the repeats. And so would
// one who reports again and again, or says one alert word after another: kPostsPerPlayer posts
// of alerts and reports per player within the window, and the next post of that player after
// it counts what was folded.
class GameEventWebhook : public GameEventSink {
public:
    static constexpr std::chrono::seconds kDefaultRepeatWindow{300};
    // Beyond this many words and players, those whose window is over are forgotten with their
    // count.
    static constexpr qsizetype kMaxRemembered = 1000;
    static constexpr int kPostsPerPlayer = 3;

    explicit GameEventWebhook(Webhook& webhook) : m_webhook(webhook) {}
    // 0: every alert is posted.
    void setRepeatWindow(std::chrono::seconds window) { m_window = window; }
    void takeEvent(const GameEvent& event) override;
    // What takeEvent posts for the event; nothing for another kind, or for a repeat it counts.
    std::optional<Notification> notificationFor(const GameEvent& event);

private:
    struct Repeats {
        QDateTime posted;
        int folded = 0;
    };
    // Whether the alert is posted; the repeats it reports (and since when) when it is.
    bool admitAlert(const GameEvent& event, Repeats* reported);
    // Whether the player may have another post; what was folded (and since when) when so.
    bool admitPlayer(const GameEvent& event, Repeats* folded);
    static QString playerKey(const GameEvent& event);
    void forgetOld(QHash<QString, Repeats>& table, const QDateTime& now) const;

    Webhook& m_webhook;
    std::chrono::seconds m_window{kDefaultRepeatWindow};
    QHash<QString, Repeats> m_alerts;  // by word and player
    QHash<QString, Repeats> m_players; // posts in the window, and those folded
};

} // namespace garrisond
