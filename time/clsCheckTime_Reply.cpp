// The reply half of the exchange with the time server: what the socket
// hands the request, and which datagram is taken as the server's reply.
#include "time/clsCheckTime.h"

#include "platform/Checkpoint.h"
#include "platform/PlatformError.h"
#include "time/ResultTexts.h"

namespace chronavel {
namespace {

// Half of it is the most a delay on the path can move the time shown, and a
// second is what the user reads.
constexpr std::chrono::milliseconds MaxNetworkDelay{2000};

} // namespace

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

} // namespace chronavel
