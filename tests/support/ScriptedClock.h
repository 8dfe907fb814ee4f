#pragma once

#include "platform/EventPump.h"
#include "platform/WallClock.h"

#include <cstdint>
#include <functional>

namespace chronavel::testing {

// A wall clock that moves only when the test says, and a pump that lets one
// second pass per call, running the test's hook first (to set the clock or
// deliver a socket event).
class ScriptedClock final : public IWallClock {
public:
    std::int64_t Now() override { return now; }
    std::int64_t now = 1'000'000;
};

class SecondPerCallPump final : public IEventPump {
public:
    explicit SecondPerCallPump(ScriptedClock& clock) : m_clock(clock) {}

    void DoEvents() override
    {
        ++calls;
        if (onCall) {
            onCall(calls);
        }
        m_clock.now += 1;
    }

    int calls = 0;
    std::function<void(int call)> onCall;

private:
    ScriptedClock& m_clock;
};

} // namespace chronavel::testing
