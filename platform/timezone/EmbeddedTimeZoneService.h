#pragma once

#include "platform/HttpClient.h"
#include "platform/timezone/TimeZoneDatabase.h"

namespace chronavel {

// Stands where the HTTP client for the time zone web service would: takes
// the same request and answers with that service's JSON, from the zone
// database, without leaving the process.
class EmbeddedTimeZoneServiceFactory final : public IHttpClientFactory {
public:
    // The database outlives every client made.
    explicit EmbeddedTimeZoneServiceFactory(const ITimeZoneDatabase& zones) : m_zones(zones) {}

    // Nothing crosses a network, so no certificate is checked.
    std::unique_ptr<IHttpClient> CreateHttpClient(const std::string& trustedCaFile) override;

private:
    const ITimeZoneDatabase& m_zones;
};

} // namespace chronavel
