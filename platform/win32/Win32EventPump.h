#pragma once

#include "platform/EventPump.h"

namespace chronavel {

class DeferredEvents;
class SocketErrorWatch;
class Win32ShutdownWatch;

// One pass of the thread's message loop, then the deferred socket events.
class Win32EventPump final : public IEventPump {
public:
    Win32EventPump(DeferredEvents& deferred, SocketErrorWatch& socketErrors, Win32ShutdownWatch& shutdown);

    void DoEvents() override;
    void DeliverPending() override;

private:
    void Deliver();
    void DispatchWaitingMessages();

    DeferredEvents& m_deferred;
    SocketErrorWatch& m_socketErrors;
    Win32ShutdownWatch& m_shutdown;
};

} // namespace chronavel
