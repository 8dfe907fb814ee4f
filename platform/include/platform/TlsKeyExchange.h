#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace chronavel {

// One request and its response over TLS 1.3, then keys exported from the
// session (RFC 5705), as NTS key establishment (RFC 8915 section 4) needs.
struct TlsKeyExchangeRequest {
    // A name, or an IPv4 or IPv6 address checked as such. A name's addresses
    // are raced as RFC 8305 section 5 says.
    std::string host;
    int port = 0;
    std::string alpn; // the one protocol offered; the server must select it
    std::vector<std::uint8_t> request;
    // Told every byte received so far; true once the response is whole.
    // Called on another thread than the caller's.
    std::function<bool(std::span<const std::uint8_t>)> isComplete;
    std::string exporterLabel;
    std::vector<std::uint8_t> clientToServerContext;
    std::vector<std::uint8_t> serverToClientContext;
    std::size_t keyLength = 0;
    std::chrono::milliseconds timeLimit{0}; // for the whole exchange
    std::string caFile;                     // empty: the system's trust store
};

enum class TlsKeyExchangeFailure {
    None,
    Refused,     // connection refused
    Unreachable, // no route to the host or its network
    Silent,      // the time limit passed
    TlsRefused,  // no TLS 1.3 handshake, or the protocol not agreed
    CertificateUntrusted,
    CertificateWrongHost,
    Other,
};

struct TlsKeyExchangeOutcome {
    TlsKeyExchangeFailure failure = TlsKeyExchangeFailure::None;
    std::string description; // the platform's words for a failure
    // What arrived, up to the end the predicate accepted or the peer's close.
    std::vector<std::uint8_t> response;
    std::vector<std::uint8_t> clientToServerKey;
    std::vector<std::uint8_t> serverToClientKey;
    std::string connectedAddress; // the numeric address the exchange went to
};

// An exchange under way. Destroying it abandons it: its outcome is then
// never delivered.
class ITlsKeyExchange {
public:
    virtual ~ITlsKeyExchange() = default;
};

class ITlsKeyExchangeFactory {
public:
    using Done = std::function<void(TlsKeyExchangeOutcome)>;

    virtual ~ITlsKeyExchangeFactory() = default;
    // Starts the exchange in the background; done is called once, only from
    // inside a call of the event pump, never from inside Start.
    virtual std::unique_ptr<ITlsKeyExchange> Start(TlsKeyExchangeRequest request, Done done) = 0;
};

} // namespace chronavel
