#include "time/clsCheckTime.h"

#include "platform/Checkpoint.h"
#include "platform/PlatformError.h"
#include "time/ResultTexts.h"

#include <utility>

namespace chronavel {
namespace {

constexpr std::chrono::seconds WaitLimit{10};

} // namespace

clsCheckTime::clsCheckTime(const Platform& platform, Endpoints endpoints)
    : m_platform(platform)
    , m_endpoints(std::move(endpoints))
{
}

clsCheckTime::~clsCheckTime() = default;

std::string clsCheckTime::GetRealTime(const std::string& sProvince)
{
    m_sProvince = sProvince;
    ShowCheckpoint(m_platform.messageBox, "P1");

    const NtpPacket request = BuildRequest();
    m_bReplied = false;
    ShowCheckpoint(m_platform.messageBox, "P2");

    try {
        Winsock = m_platform.udpSockets.CreateSocket(*this);
        ShowCheckpoint(m_platform.messageBox, "P3");
        SendRequest(request);
    } catch (const PlatformError& failure) {
        return ErrorPrefix + std::string(failure.what());
    }

    // The wall clock, not a monotonic one: setting the clock during the wait
    // moves its end. The pump sleeps until an event or the next second.
    const std::chrono::sys_seconds start = m_platform.wallClock.Now();
    while (m_platform.wallClock.Now() - start < WaitLimit && !m_bReplied) {
        m_platform.eventPump.DoEvents();
    }

    if (m_bReplied) {
        return m_sResult;
    }
    try {
        if (Winsock->State() != IUdpSocket::StateClosed) {
            Winsock->Close();
        }
    } catch (const PlatformError&) {
        // The timeout is what the user needs to hear about.
    }
    return TimeoutError;
}

void clsCheckTime::SendRequest(const NtpPacket& request)
{
    if (Winsock->State() != IUdpSocket::StateClosed) {
        Winsock->Close();
    }
    Winsock->Protocol(IUdpSocket::ProtocolUdp);
    Winsock->RemotePort(m_endpoints.ntpPort);
    Winsock->LocalPort(0);
    Winsock->RemoteHost(m_endpoints.ntpHost);
    Winsock->Bind(0);
    Winsock->SendData({request.begin(), request.end()});
}

void clsCheckTime::Winsock_DataArrival(long /*bytesTotal*/)
{
    ShowCheckpoint(m_platform.messageBox, "P4");
    // Raised before reading: whatever follows, the wait ends with this handler.
    m_bReplied = true;

    std::vector<std::uint8_t> datagram;
    try {
        Winsock->GetData(datagram);
        Winsock->Close();
    } catch (const PlatformError& failure) {
        m_sResult = ErrorPrefix + std::string(failure.what());
        return;
    }

    const std::optional<NtpSeconds> seconds = ReadReply(datagram);
    if (!seconds) {
        m_sResult = InvalidReplyError;
        return;
    }
    ShowCheckpoint(m_platform.messageBox, "P5");
    LookupLocalTime(*seconds);
}

void clsCheckTime::Winsock_Error(int /*Number*/, const std::string& Description)
{
    m_sResult = ErrorPrefix + Description;
    m_bReplied = true;
}

} // namespace chronavel
