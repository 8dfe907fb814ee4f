#pragma once

#include "platform/EventPump.h"

namespace chronavel {

class DeferredEvents;

// One pass of the thread's message loop, then the deferred socket events.
// Throws RequestAbandoned once the application is closing.
class Win32EventPump final : public IEventPump {
public:
    explicit Win32EventPump(DeferredEvents& deferred) : m_deferred(deferred) {}

    void DoEvents() override;
    void DeliverPending() override;

private:
    DeferredEvents& m_deferred;
};

} // namespace chronavel
