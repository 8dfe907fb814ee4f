#pragma once

#include "platform/common/HttpRequestRules.h"

namespace chronavel {

// The request through libcurl. Certificates are always verified, against the
// system's trust store or the one CA bundle handed over; redirects are not
// followed.
class CurlHttpClient final : public RuledHttpClient {
public:
    // trustedCaFile empty: the system's trust store.
    explicit CurlHttpClient(std::string trustedCaFile) : m_trustedCaFile(std::move(trustedCaFile)) {}

private:
    std::string Perform(const Request& request, const std::string& body) override;

    std::string m_trustedCaFile;
};

class CurlHttpClientFactory final : public IHttpClientFactory {
public:
    std::unique_ptr<IHttpClient> CreateHttpClient(const std::string& trustedCaFile) override;
};

} // namespace chronavel
