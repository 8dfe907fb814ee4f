#include "platform/qt/QtEventPump.h"

#include "platform/PlatformError.h"
#include "platform/common/DeferredEvents.h"
#include "platform/qt/ShutdownWatch.h"

#include <QCoreApplication>
#include <QTimer>

#include <chrono>

namespace chronavel {

QtEventPump::QtEventPump(DeferredEvents& deferred, const ShutdownWatch& shutdown)
    : m_deferred(deferred)
    , m_shutdown(shutdown)
{
}

void QtEventPump::DoEvents()
{
    QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents;
    QTimer secondBoundary;
    if (m_deferred.IsEmpty()) {
        // Sleep in the dispatcher's wait rather than spin; the timer wakes it
        // at the next second of the wall clock (SystemWallClock's) so the
        // caller's clock test stays on time.
        using namespace std::chrono;
        const auto intoSecond = system_clock::now().time_since_epoch() % seconds{1};
        secondBoundary.setSingleShot(true);
        secondBoundary.setTimerType(Qt::PreciseTimer);
        secondBoundary.start(ceil<milliseconds>(seconds{1} - intoSecond));
        flags |= QEventLoop::WaitForMoreEvents;
    }
    Deliver(flags);
}

void QtEventPump::DeliverPending()
{
    Deliver(QEventLoop::AllEvents);
}

void QtEventPump::Deliver(QEventLoop::ProcessEventsFlags flags)
{
    if (m_shutdown.IsShuttingDown()) {
        throw RequestAbandoned();
    }
    QCoreApplication::processEvents(flags);

    if (m_shutdown.IsShuttingDown()) {
        throw RequestAbandoned();
    }
    m_deferred.DeliverPending();
}

void PostToEventLoop(std::function<void()> task)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
}

} // namespace chronavel
