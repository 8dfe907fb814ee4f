#pragma once

#include "platform/HttpClient.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace chronavel {

// Longer responses are refused rather than buffered.
inline constexpr std::size_t MaxResponseBytes = 1024 * 1024;

// Milliseconds; 0 means no limit.
struct HttpTimeouts {
    long resolveMs = 0;
    long connectMs = 0;
    long sendMs = 0;
    long receiveMs = 0;
};

// The one request the time lookup makes, and what every HTTP client of the
// platform refuses before it touches the network, with the same texts in
// every flavour: one synchronous POST to an https:// address per object,
// header names that are tokens and values on one line. Failures of the
// request name its address without the query, which holds the service's key.
class RuledHttpClient : public IHttpClient {
public:
    void setTimeouts(long resolveMs, long connectMs, long sendMs, long receiveMs) final;
    // Spaces in the address become %20; nothing else is encoded.
    void Open(const std::string& method, const std::string& url, bool async) final;
    void SetRequestHeader(const std::string& name, const std::string& value) final;
    void Send(const std::string& body) final;
    std::string responseText() const final;

protected:
    struct Request {
        std::string url;
        std::vector<std::pair<std::string, std::string>> headers;
        HttpTimeouts timeouts;
    };

    // The response's body; throws PlatformError.
    virtual std::string Perform(const Request& request, const std::string& body) = 0;

private:
    Request m_request;
    bool m_opened = false;
    bool m_sent = false;
    std::optional<std::string> m_response;
};

// Resolving the host counts against the connect limit, as libcurl counts it.
long ConnectLimitMs(const HttpTimeouts& timeouts);

// The address as far as its path: safe to show.
std::string_view WithoutQuery(std::string_view url);

} // namespace chronavel
