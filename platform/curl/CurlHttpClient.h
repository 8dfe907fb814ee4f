#pragma once

#include "platform/HttpClient.h"

namespace chronavel {

// PLACEHOLDER: the libcurl client is being written; see CurlHttpClient.cpp.
class CurlHttpClientFactory final : public IHttpClientFactory {
public:
    std::unique_ptr<IHttpClient> CreateHttpClient(const std::string& trustedCaFile) override;
};

} // namespace chronavel
