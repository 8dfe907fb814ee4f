#pragma once

#include "platform/HttpClient.h"
#include "platform/common/HttpRequestRules.h"
#include "platform/win32/HttpsAddress.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace chronavel {

// One synchronous HTTPS request through WinHTTP. Certificates and host names
// are always verified against Windows' trust store; redirects are not
// followed.
class WinHttpClient final : public IHttpClient {
public:
    // A longer response is refused rather than buffered.
    static constexpr std::size_t MaxResponseBytes = 1024 * 1024;

    void setTimeouts(long resolveMs, long connectMs, long sendMs, long receiveMs) override;
    // The address is used as given, except that spaces become %20.
    void Open(const std::string& method, const std::string& url, bool async) override;
    void SetRequestHeader(const std::string& name, const std::string& value) override;
    void Send(const std::string& body) override;
    std::string responseText() const override;

private:
    HttpTimeouts m_timeouts;
    std::string m_method;
    std::optional<HttpsAddress> m_address; // set once Open has accepted one
    std::vector<std::pair<std::string, std::string>> m_headers;
    bool m_sent = false;
    bool m_answered = false;
    std::string m_response;
};

class WinHttpClientFactory final : public IHttpClientFactory {
public:
    // Throws PlatformError unless trustedCaFile is empty (see the definition).
    std::unique_ptr<IHttpClient> CreateHttpClient(const std::string& trustedCaFile) override;
};

} // namespace chronavel
