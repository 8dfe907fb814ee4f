#include "time/clsCheckTime.h"

#include "platform/Checkpoint.h"
#include "platform/PlatformError.h"
#include "time/LocalTime.h"
#include "time/ResultTexts.h"

#include <utility>

namespace chronavel {
namespace {

constexpr std::chrono::seconds WaitLimit{10};
// Half of it is the most a delay on the path can move the time shown, and a
// second is what the user reads.
constexpr std::chrono::milliseconds MaxNetworkDelay{2000};

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

void clsCheckTime::Winsock_DataArrival(long /*bytesTotal*/)
{
    if (!m_nts) {
        ShowCheckpoint(m_platform.messageBox, "P4");
        // Raised before reading: whatever follows, the wait ends with this handler.
        m_bReplied = true;
    }
    try {
        std::vector<std::uint8_t> datagram;
        const MonotonicTime arrived = Winsock->GetData(datagram);
        const MonotonicTime sent = Winsock->SentAt();
        const std::optional<ServerTimes> server
            = m_nts ? TakeAuthenticatedReply(datagram, sent, arrived) : TakePlainReply(datagram);
        if (!m_bReplied) {
            return; // not this request's authenticated reply: the socket waits on
        }
        Winsock->Close();
        if (!server) {
            return;
        }
        m_serverClock = ServerClock::FromExchange(sent, arrived, *server);
    } catch (const PlatformError& failure) {
        m_sResult = ErrorPrefix + std::string(failure.what());
        m_bReplied = true;
        return;
    }
    ShowCheckpoint(m_platform.messageBox, "P5");
    LookupLocalTime(*m_serverClock);
}

std::optional<ServerTimes> clsCheckTime::TakePlainReply(const std::vector<std::uint8_t>& datagram)
{
    const std::optional<ServerTimes> times = ReadReply(datagram, m_nonce);
    if (!times) {
        m_sResult = InvalidReplyError;
    }
    return times;
}

std::optional<ServerTimes> clsCheckTime::TakeAuthenticatedReply(const std::vector<std::uint8_t>& datagram,
                                                                MonotonicTime sent, MonotonicTime arrived)
{
    const NtsReply reply = ReadNtsReply(datagram, m_nts->nonces, m_nts->keys.serverToClient, *m_platform.aeadSiv);
    // Anyone who sees the request can send these, so neither ends the wait
    // (RFC 8915 section 5.7); they only say what came, should nothing else.
    if (reply.status == NtsReplyStatus::Nak) {
        m_sRefused = NtsNakError;
        return std::nullopt;
    }
    if (reply.status == NtsReplyStatus::Invalid) {
        if (m_sRefused.empty()) {
            m_sRefused = InvalidReplyError;
        }
        return std::nullopt;
    }

    ShowCheckpoint(m_platform.messageBox, "P4");
    m_bReplied = true;
    if (reply.status == NtsReplyStatus::NoTime) {
        m_sResult = InvalidReplyError;
        return std::nullopt;
    }
    // A reply held back on the path still authenticates; only its delay shows.
    const auto delay
        = std::chrono::ceil<std::chrono::milliseconds>(ServerClock::NetworkDelay(sent, arrived, reply.times));
    if (delay > MaxNetworkDelay) {
        m_sResult = SlowReplyError(delay, MaxNetworkDelay);
        return std::nullopt;
    }
    return reply.times;
}

void clsCheckTime::Winsock_Error(int /*Number*/, const std::string& Description)
{
    m_sResult = ErrorPrefix + Description;
    m_bReplied = true;
}

std::string clsCheckTime::LocalTimeNow() const
{
    const UtcTime now = m_serverClock->At(m_platform.monotonicClock.Now());
    return m_platform.dateFormatter.FormatGeneralDate(LocalCivilTime(now, m_offsets->dst, m_offsets->raw));
}

} // namespace chronavel
