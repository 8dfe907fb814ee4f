#include "platform/common/DeferredEvents.h"

#include <algorithm>

namespace chronavel {

void DeferredEvents::Post(const void* source, std::function<void()> event)
{
    m_pending.emplace_back(source, std::move(event));
}

void DeferredEvents::Discard(const void* source)
{
    std::erase_if(m_pending, [source](const auto& entry) { return entry.first == source; });
}

void DeferredEvents::DeliverPending()
{
    // A handler may post, discard or pump again (a nested request), so each
    // event is taken off the queue before it runs.
    for (std::size_t remaining = m_pending.size(); remaining > 0 && !m_pending.empty(); --remaining) {
        std::function<void()> event = std::move(m_pending.front().second);
        m_pending.pop_front();
        event();
    }
}

} // namespace chronavel
