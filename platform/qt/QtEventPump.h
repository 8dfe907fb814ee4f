#pragma once

#include "platform/EventPump.h"

#include <QEventLoop>

#include <functional>

namespace chronavel {

class DeferredEvents;
class ShutdownWatch;

// Runs Qt's event dispatcher once, then delivers the deferred socket events.
class QtEventPump final : public IEventPump {
public:
    QtEventPump(DeferredEvents& deferred, const ShutdownWatch& shutdown);

    void DoEvents() override;
    void DeliverPending() override;

private:
    void Deliver(QEventLoop::ProcessEventsFlags flags);

    DeferredEvents& m_deferred;
    const ShutdownWatch& m_shutdown;
};

// Queues a task to the application's event loop, from any thread.
void PostToEventLoop(std::function<void()> task);

} // namespace chronavel
