#pragma once

#include "platform/common/HttpRequestRules.h"

namespace chronavel {

// The request through WinHTTP, behind the proxy the user has set.
// Certificates and host names are always verified against Windows' trust
// store; redirects are not followed.
class WinHttpClient final : public RuledHttpClient {
private:
    std::string Perform(const Request& request, const std::string& body) override;
};

class WinHttpClientFactory final : public IHttpClientFactory {
public:
    // Throws PlatformError unless trustedCaFile is empty (see the definition).
    std::unique_ptr<IHttpClient> CreateHttpClient(const std::string& trustedCaFile) override;
};

} // namespace chronavel
