#pragma once

#include "tests/support/LoopbackSockets.h"

namespace chronavel::testing {

// A TCP port on 127.0.0.1 and ::1 held by sockets of the test's own until destroyed.
class LoopbackTcpPort {
public:
    int port() const { return m_sockets.port(); }

protected:
    explicit LoopbackTcpPort(bool listening)
    {
        if (listening) {
            m_sockets.Listen();
        }
    }

private:
    LoopbackSockets m_sockets{SOCK_STREAM};
};

// Bound but not listening: every connection is refused.
struct RefusingTcpPort : LoopbackTcpPort {
    RefusingTcpPort() : LoopbackTcpPort(false) {}
};

// Listening but never accepting: the kernel completes connections, and
// nothing is ever said on them.
struct SilentTcpPort : LoopbackTcpPort {
    SilentTcpPort() : LoopbackTcpPort(true) {}
};

} // namespace chronavel::testing
