// The loopback SNTP responder as a program of its own, for tests whose
// client runs elsewhere (under Wine): it prints its port on the first line
// of its output, then answers until it is told to stop or its parent goes.
//   loopback_sntp_server TRANSMIT_SECONDS   answer each request with that time
//   loopback_sntp_server --silent           receive, never answer
#include "tests/support/LoopbackSntpServer.h"

#include <signal.h>
#include <sys/prctl.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace {

using chronavel::testing::Bytes;
using chronavel::testing::LoopbackSntpServer;

constexpr std::size_t OriginateOffset = 24;
constexpr std::size_t TransmitOffset = 40;
constexpr std::size_t TimestampSize = 8;

int Usage()
{
    std::cerr << "usage: loopback_sntp_server TRANSMIT_SECONDS | --silent\n";
    return 2;
}

// A server copies the request's transmit timestamp into the reply's
// originate field; that is how a client knows the reply is to its request.
std::vector<LoopbackSntpServer::Datagram> Reply(const Bytes& request, std::uint32_t transmitSeconds)
{
    Bytes reply = chronavel::testing::MakeSntpReply({.transmitSeconds = transmitSeconds});
    if (request.size() >= TransmitOffset + TimestampSize) {
        std::copy_n(request.begin() + TransmitOffset, TimestampSize, reply.begin() + OriginateOffset);
    }
    return {{reply}};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        return Usage();
    }
    const bool silent = std::strcmp(argv[1], "--silent") == 0;
    std::uint32_t transmitSeconds = 0;
    if (!silent) {
        const char* end = argv[1] + std::strlen(argv[1]);
        const auto [stop, error] = std::from_chars(argv[1], end, transmitSeconds);
        if (error != std::errc() || stop != end) {
            return Usage();
        }
    }

    // Stopping is a signal taken here, on the main thread; the serving
    // thread inherits the mask and never sees it.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A test runner that is killed cannot stop its helpers: go with it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);

    LoopbackSntpServer server;
    if (!silent) {
        server.Answer([transmitSeconds](const Bytes& request) { return Reply(request, transmitSeconds); });
    }
    std::cout << server.port() << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    return 0;
}
