#pragma once

#include "platform/HttpClient.h"

#include <memory>
#include <string>
#include <vector>

namespace chronavel::testing {

// An HTTP client that answers at once with a scripted body and remembers
// what it was asked, for tests that are about the time request alone.
class ScriptedHttpClientFactory final : public IHttpClientFactory {
public:
    struct Request {
        std::string method;
        std::string url;
        std::string body;
    };

    explicit ScriptedHttpClientFactory(std::string responseBody) : m_responseBody(std::move(responseBody)) {}

    std::unique_ptr<IHttpClient> CreateHttpClient(const std::string& trustedCaFile) override;

    std::vector<Request> requests;

private:
    std::string m_responseBody;
};

// A service answer with both offsets at zero, so the local time is UTC.
inline constexpr const char* UtcZoneResponse = R"({"dstOffset":0,"rawOffset":0,"status":"OK"})";

} // namespace chronavel::testing
