// The key exchange that comes before an authenticated request (RFC 8915
// section 4): keys and a cookie from the key-exchange server over TLS 1.3.
#include "time/clsCheckTime.h"

#include "nts/KeRecords.h"
#include "time/ResultTexts.h"

#include <charconv>
#include <chrono>

namespace chronavel {
namespace {

constexpr std::chrono::seconds KeyExchangeLimit{10};

struct HostAndPort {
    std::string host;
    int port = NtsKePort;
};

// "host", "host:port", "[v6 address]:port", or a bare IPv6 address.
std::optional<HostAndPort> SplitServer(const std::string& server)
{
    std::string host = server;
    std::string port;
    if (server.starts_with('[')) {
        const std::size_t close = server.find(']');
        if (close == std::string::npos || (close + 1 < server.size() && server[close + 1] != ':')) {
            return std::nullopt;
        }
        host = server.substr(1, close - 1);
        port = close + 1 < server.size() ? server.substr(close + 2) : "";
    } else if (const std::size_t colon = server.find(':');
               colon != std::string::npos && server.find(':', colon + 1) == std::string::npos) {
        host = server.substr(0, colon);
        port = server.substr(colon + 1);
    }
    HostAndPort result{.host = host};
    if (!port.empty()) {
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), result.port);
        if (error != std::errc{} || end != port.data() + port.size() || result.port < 1 || result.port > 65535) {
            return std::nullopt;
        }
    }
    if (result.host.empty()) {
        return std::nullopt;
    }
    return result;
}

std::string TextOf(const TlsKeyExchangeOutcome& outcome)
{
    switch (outcome.failure) {
    case TlsKeyExchangeFailure::None:
        break;
    case TlsKeyExchangeFailure::Refused:
        return KeyExchangeRefusedError;
    case TlsKeyExchangeFailure::Unreachable:
        return KeyExchangeUnreachableError;
    case TlsKeyExchangeFailure::Silent:
        return KeyExchangeSilentError;
    case TlsKeyExchangeFailure::TlsRefused:
        return KeyExchangeTlsError;
    case TlsKeyExchangeFailure::CertificateUntrusted:
        return UntrustedCertificateError;
    case TlsKeyExchangeFailure::CertificateWrongHost:
        return WrongHostCertificateError;
    case TlsKeyExchangeFailure::Other:
        return KeyExchangeFailedError + outcome.description;
    }
    return {};
}

std::string TextOf(const NtsKeResponse& response)
{
    switch (response.outcome) {
    case NtsKeOutcome::Accepted:
        return {};
    case NtsKeOutcome::ServerError:
        return KeyExchangeRejectedError + std::to_string(response.code);
    case NtsKeOutcome::ServerWarning:
        return KeyExchangeWarningError + std::to_string(response.code);
    case NtsKeOutcome::NoCookie:
        return NoCookieError;
    case NtsKeOutcome::UnknownCriticalRecord:
    case NtsKeOutcome::UnsupportedProtocol:
    case NtsKeOutcome::UnsupportedAead:
    case NtsKeOutcome::Malformed:
        break;
    }
    return UnusableKeyExchangeError;
}

template <std::size_t Size>
bool CopyKey(const std::vector<std::uint8_t>& from, std::array<std::uint8_t, Size>& to)
{
    if (from.size() != Size) {
        return false;
    }
    std::copy(from.begin(), from.end(), to.begin());
    return true;
}

} // namespace

std::string clsCheckTime::ExchangeKeys()
{
    const std::optional<HostAndPort> server = SplitServer(m_endpoints.ntsServer);
    if (!server || !m_platform.tlsKeyExchanges || !m_platform.aeadSiv) {
        return UnusableKeyExchangeError;
    }

    const std::vector<std::uint8_t> request = BuildNtsKeRequest();
    std::optional<TlsKeyExchangeOutcome> outcome;
    const std::unique_ptr<ITlsKeyExchange> exchange = m_platform.tlsKeyExchanges->Start(
        {
            .host = server->host,
            .port = server->port,
            .alpn = NtsKeAlpn,
            .request = request,
            .isComplete
            = [](std::span<const std::uint8_t> received) { return NtsKeResponseLength(received).has_value(); },
            .exporterLabel = NtsKeyExporterLabel,
            .clientToServerContext = {NtsClientToServerContext.begin(), NtsClientToServerContext.end()},
            .serverToClientContext = {NtsServerToClientContext.begin(), NtsServerToClientContext.end()},
            .keyLength = NtsKey{}.size(),
            .timeLimit = KeyExchangeLimit,
            .caFile = m_endpoints.trustedCaFile,
        },
        [&outcome](TlsKeyExchangeOutcome delivered) { outcome = std::move(delivered); });
    WaitUntil([&outcome] { return outcome.has_value(); });
    if (!outcome) {
        return KeyExchangeSilentError;
    }
    if (outcome->failure != TlsKeyExchangeFailure::None) {
        return TextOf(*outcome);
    }

    const std::span<const std::uint8_t> received(outcome->response);
    const NtsKeResponse response
        = ParseNtsKeResponse(received.first(NtsKeResponseLength(received).value_or(received.size())));
    if (const std::string failure = TextOf(response); !failure.empty()) {
        return failure;
    }
    NtsSession session{.cookie = response.cookies.front()};
    if (!CopyKey(outcome->clientToServerKey, session.keys.clientToServer)
        || !CopyKey(outcome->serverToClientKey, session.keys.serverToClient)) {
        return UnusableKeyExchangeError;
    }
    m_nts = std::move(session);
    // RFC 8915 sections 4.1.7 and 4.1.8: unless named, the NTP server is
    // the very address the key exchange reached, not another of its name's.
    m_ntpHost = response.ntpServer.empty() ? outcome->connectedAddress : response.ntpServer;
    m_ntpPort = response.ntpPort;
    return {};
}

} // namespace chronavel
