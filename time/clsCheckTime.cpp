// The request: the datagram sent to the time server and the wait for its reply.
#include "time/clsCheckTime.h"

#include "platform/Checkpoint.h"
#include "platform/PlatformError.h"
#include "time/LocalTime.h"
#include "time/ResultTexts.h"

#include <utility>

namespace chronavel {
namespace {

constexpr std::chrono::seconds WaitLimit{10};

NtpTimestamp FreshNonce(IRandomSource& random)
{
    const std::uint64_t bits = random.Random64();
    return {static_cast<std::uint32_t>(bits >> 32), static_cast<std::uint32_t>(bits)};
}

template <std::size_t Size>
void FillRandom(IRandomSource& random, std::array<std::uint8_t, Size>& bytes)
{
    static_assert(Size % 8 == 0);
    for (std::size_t at = 0; at < Size; at += 8) {
        const std::uint64_t bits = random.Random64();
        for (std::size_t i = 0; i < 8; ++i) {
            bytes[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
        }
    }
}

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

    try {
        m_nonce = FreshNonce(m_platform.randomSource);
        m_ntpHost = m_endpoints.ntpHost;
        m_ntpPort = m_endpoints.ntpPort;
        if (!m_endpoints.ntsServer.empty()) {
            if (std::string failure = ExchangeKeys(); !failure.empty()) {
                return failure;
            }
        }
        const std::vector<std::uint8_t> request = BuildDatagram();
        m_bReplied = false;
        ShowCheckpoint(m_platform.messageBox, "P2");

        Winsock = m_platform.udpSockets.CreateSocket(*this);
        ShowCheckpoint(m_platform.messageBox, "P3");
        SendRequest(request);
    } catch (const PlatformError& failure) {
        return ErrorPrefix + std::string(failure.what());
    }

    WaitUntil([this] { return m_bReplied; });

    if (m_bReplied) {
        if (m_offsets) {
            // The time of this moment, however long the boxes took since the reply.
            try {
                m_sResult = LocalTimeNow();
            } catch (const PlatformError& failure) {
                m_sResult = ErrorPrefix + std::string(failure.what());
            }
        }
        return m_sResult;
    }
    try {
        if (Winsock->State() != IUdpSocket::StateClosed) {
            Winsock->Close();
        }
    } catch (const PlatformError&) {
        // The timeout is what the user needs to hear about.
    }
    return m_sRefused.empty() ? TimeoutError : m_sRefused;
}

void clsCheckTime::WaitUntil(const std::function<bool()>& done)
{
    // Counted in UTC, so a daylight-saving change does not move the end, but
    // setting the clock does. The pump sleeps until an event or the next second.
    const std::chrono::sys_seconds start = m_platform.wallClock.Now();
    while (m_platform.wallClock.Now() - start < WaitLimit && !done()) {
        m_platform.eventPump.DoEvents();
    }
    if (!done()) {
        // What came in time may still be queued behind the boxes of another
        // request that ran meanwhile; it counts.
        m_platform.eventPump.DeliverPending();
    }
}

std::vector<std::uint8_t> clsCheckTime::BuildDatagram()
{
    if (!m_nts) {
        const NtpPacket request = BuildRequest(m_nonce);
        return {request.begin(), request.end()};
    }
    NtsRequestNonces& nonces = m_nts->nonces;
    nonces.nonce = m_nonce;
    FillRandom(m_platform.randomSource, nonces.uniqueId);
    FillRandom(m_platform.randomSource, nonces.aeadNonce);
    return BuildNtsRequest(nonces, m_nts->cookie, m_nts->keys.clientToServer, *m_platform.aeadSiv);
}

void clsCheckTime::SendRequest(const std::vector<std::uint8_t>& request)
{
    if (Winsock->State() != IUdpSocket::StateClosed) {
        Winsock->Close();
    }
    Winsock->Protocol(IUdpSocket::ProtocolUdp);
    Winsock->RemotePort(m_ntpPort);
    Winsock->LocalPort(0);
    Winsock->RemoteHost(m_ntpHost);
    Winsock->Bind(0);
    Winsock->SendData(request);
}

std::string clsCheckTime::LocalTimeNow() const
{
    const UtcTime now = m_serverClock->At(m_platform.monotonicClock.Now());
    return m_platform.dateFormatter.FormatGeneralDate(LocalCivilTime(now, m_offsets->dst, m_offsets->raw));
}

} // namespace chronavel
