#pragma once

namespace chronavel::testing {

// A TCP port on 127.0.0.1 that takes connections (the kernel completes
// them) but never accepts them, so nothing is ever said on them.
class SilentTcpPort {
public:
    SilentTcpPort();
    ~SilentTcpPort();
    SilentTcpPort(const SilentTcpPort&) = delete;
    SilentTcpPort& operator=(const SilentTcpPort&) = delete;

    int port() const { return m_port; }

private:
    int m_socket;
    int m_port = 0;
};

} // namespace chronavel::testing
