#pragma once

namespace chronavel {

class IEventPump {
public:
    virtual ~IEventPump() = default;

    // Handles every event already pending (socket events, paints, input).
    // When none is pending it may sleep in the operating system's wait, but
    // never past the next second boundary of the wall clock, so a caller that
    // re-reads the clock after each call sees every second go by.
    // Throws RequestAbandoned once the application is shutting down.
    virtual void DoEvents() = 0;

    // Handles every event already pending and returns without ever waiting,
    // so that what arrived in time is not lost when a wait gives up.
    virtual void DeliverPending() = 0;
};

} // namespace chronavel
