#pragma once

namespace chronavel::testing {

// A TCP port on 127.0.0.1 that refuses connections: bound for as long as the
// object lives, so nobody else takes it, but never listening.
class RefusingTcpPort {
public:
    RefusingTcpPort();
    ~RefusingTcpPort();
    RefusingTcpPort(const RefusingTcpPort&) = delete;
    RefusingTcpPort& operator=(const RefusingTcpPort&) = delete;

    int port() const { return m_port; }

private:
    int m_socket;
    int m_port = 0;
};

} // namespace chronavel::testing
