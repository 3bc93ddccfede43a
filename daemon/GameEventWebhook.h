#pragma once

#include "GameEventSink.h"

namespace garrisond {

class Webhook;

// Posts the game's alerts and players' reports to the webhook; the rest of the game log's
// events would flood it.
class GameEventWebhook : public GameEventSink {
public:
    explicit GameEventWebhook(Webhook& webhook) : m_webhook(webhook) {}
    void takeEvent(const GameEvent& event) override;

private:
    Webhook& m_webhook;
};

} // namespace garrisond
