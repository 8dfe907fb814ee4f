#include "tests/support/FakeUdpSocket.h"

#include "platform/PlatformError.h"

namespace chronavel::testing {

void FakeUdpSocket::Record(const std::string& call)
{
    calls.push_back(call);
    if (call.rfind(failingCall, 0) == 0 && !failingCall.empty()) {
        throw PlatformError(failingCall + " failed");
    }
}

void FakeUdpSocket::Bind(int localPort)
{
    Record("Bind " + std::to_string(localPort));
    state = StateOpen;
}

void FakeUdpSocket::SendData(const std::vector<std::uint8_t>& datagram)
{
    Record("SendData " + std::to_string(datagram.size()));
    sent = datagram;
    state = StateConnected;
}

MonotonicTime FakeUdpSocket::GetData(std::vector<std::uint8_t>& datagram)
{
    Record("GetData");
    datagram = received;
    return receivedAt;
}

void FakeUdpSocket::Close()
{
    Record("Close");
    state = StateClosed;
}

std::unique_ptr<IUdpSocket> FakeUdpSocketFactory::CreateSocket(IUdpSocketEvents& events)
{
    if (failingCall == "CreateSocket") {
        throw PlatformError("CreateSocket failed");
    }
    auto created = std::make_unique<FakeUdpSocket>(events);
    created->failingCall = failingCall;
    socket = created.get();
    return created;
}

} // namespace chronavel::testing
