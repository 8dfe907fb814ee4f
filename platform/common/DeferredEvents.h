#pragma once

#include <deque>
#include <functional>
#include <utility>

namespace chronavel {

// Socket events wait here until the next call of the event pump, so that a
// handler never runs inside a message box's own event loop or inside a call
// on the socket.
class DeferredEvents {
public:
    void Post(const void* source, std::function<void()> event);
    // Drops what a source posted and has not been delivered; its owner is going away.
    void Discard(const void* source);
    bool IsEmpty() const { return m_pending.empty(); }
    // Delivers what was pending when the call began, oldest first.
    void DeliverPending();

private:
    std::deque<std::pair<const void*, std::function<void()>>> m_pending;
};

} // namespace chronavel
