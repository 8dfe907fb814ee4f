#pragma once

namespace chronavel::testing {

// A TCP port on 127.0.0.1 held by a socket of the test's own until destroyed.
class LoopbackTcpPort {
public:
    ~LoopbackTcpPort();
    LoopbackTcpPort(const LoopbackTcpPort&) = delete;
    LoopbackTcpPort& operator=(const LoopbackTcpPort&) = delete;

    int port() const { return m_port; }

protected:
    explicit LoopbackTcpPort(bool listening);

private:
    int m_socket;
    int m_port = 0;
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
