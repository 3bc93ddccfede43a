#pragma once

#include "GameEvent.h"

namespace garrisond {

// Whatever takes the daemon's game events: the sessions that asked for the event stream, and
// any other listener (a webhook), which filters the kinds it wants.
class GameEventSink {
public:
    virtual ~GameEventSink() = default;
    virtual void takeEvent(const GameEvent& event) = 0;
};

} // namespace garrisond
