#pragma once

#include "platform/EventPump.h"
#include "platform/MonotonicClock.h"
#include "platform/WallClock.h"

#include <chrono>
#include <functional>

namespace chronavel::testing {

// Clocks that move only when the test says, and a pump that lets one second
// pass on both per call, then runs the test's hook (to set the clock or
// deliver a socket event).
class ScriptedClock final : public IWallClock {
public:
    std::chrono::sys_seconds Now() override { return now; }
    std::chrono::sys_seconds now{std::chrono::seconds{1'000'000}};
};

class ScriptedMonotonicClock final : public IMonotonicClock {
public:
    MonotonicTime Now() override { return now; }
    MonotonicTime now{};
};

class SecondPerCallPump final : public IEventPump {
public:
    SecondPerCallPump(ScriptedClock& clock, ScriptedMonotonicClock& monotonic) : m_clock(clock), m_monotonic(monotonic)
    {
    }

    void DoEvents() override
    {
        ++calls;
        m_clock.now += std::chrono::seconds{1};
        m_monotonic.now += std::chrono::seconds{1};
        if (onCall) {
            onCall(calls);
        }
    }

    // Nothing is ever pending here: events arrive through the hook.
    void DeliverPending() override {}

    int calls = 0;
    std::function<void(int call)> onCall;

private:
    ScriptedClock& m_clock;
    ScriptedMonotonicClock& m_monotonic;
};

} // namespace chronavel::testing
