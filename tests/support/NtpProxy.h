#pragma once

#include "tests/support/SntpReply.h"

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

namespace chronavel::testing {

// Stands on 127.0.0.2 at a port between a client and an NTP server on
// 127.0.0.1 at the same port, handing each request to handle together with a
// way to ask the server; the datagrams handle returns go back to the client
// in order. Runs on a thread of its own until destroyed.
class NtpProxy {
public:
    using AskServer = std::function<std::optional<Bytes>(const Bytes& request)>;
    using Handler = std::function<std::vector<Bytes>(Bytes request, const AskServer& server)>;

    NtpProxy(int port, Handler handle);
    ~NtpProxy();
    NtpProxy(const NtpProxy&) = delete;
    NtpProxy& operator=(const NtpProxy&) = delete;

    static constexpr const char* Address = "127.0.0.2";

private:
    void Serve();

    int m_client = -1;
    int m_server = -1;
    Handler m_handle;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace chronavel::testing
