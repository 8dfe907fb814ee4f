#pragma once

#include <vector>

namespace chronavel {

// A socket whose failure may wait where no window message points to it.
class ISocketErrorSource {
public:
    virtual void CheckPendingError() = 0;

protected:
    ~ISocketErrorSource() = default;
};

// Wine reports a datagram that its peer refused (ICMP port unreachable)
// by no message at all: the error only waits in the socket's SO_ERROR.
// The event pump asks every open socket on each pass.
class SocketErrorWatch {
public:
    void Add(ISocketErrorSource& source);
    void Remove(ISocketErrorSource& source);
    void CheckAll();

private:
    std::vector<ISocketErrorSource*> m_sources;
};

} // namespace chronavel
