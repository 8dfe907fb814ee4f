#pragma once

#include "platform/HttpClient.h"
#include "platform/common/HttpRequestRules.h"

#include <cstddef>
#include <memory>
#include <string>

namespace chronavel {

// One synchronous HTTPS request through libcurl. Certificates are always
// verified, against the system's trust store or the one CA bundle handed
// over; redirects are not followed.
class CurlHttpClient final : public IHttpClient {
public:
    // A longer response is refused rather than buffered.
    static constexpr std::size_t MaxResponseBytes = 1024 * 1024;

    // trustedCaFile empty: the system's trust store.
    explicit CurlHttpClient(std::string trustedCaFile);
    ~CurlHttpClient() override;

    CurlHttpClient(const CurlHttpClient&) = delete;
    CurlHttpClient& operator=(const CurlHttpClient&) = delete;

    void setTimeouts(long resolveMs, long connectMs, long sendMs, long receiveMs) override;
    // The address is used as given, except that spaces become %20.
    void Open(const std::string& method, const std::string& url, bool async) override;
    void SetRequestHeader(const std::string& name, const std::string& value) override;
    void Send(const std::string& body) override;
    std::string responseText() const override;

private:
    struct Handles;

    std::unique_ptr<Handles> m_handles;
    std::string m_trustedCaFile;
    HttpTimeouts m_timeouts;
    std::string m_method;
    std::string m_url;
    bool m_opened = false;
    bool m_sent = false;
    bool m_answered = false;
    std::string m_response;
};

class CurlHttpClientFactory final : public IHttpClientFactory {
public:
    // Throws PlatformError when libcurl cannot make a handle.
    std::unique_ptr<IHttpClient> CreateHttpClient(const std::string& trustedCaFile) override;
};

} // namespace chronavel
