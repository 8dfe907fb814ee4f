#include "platform/timezone/EmbeddedTimeZoneService.h"

#include "platform/PlatformError.h"
#include "platform/timezone/TimeZoneAnswer.h"
#include "platform/timezone/TimeZoneQuery.h"

#include <optional>

namespace chronavel {
namespace {

// Refuses what the web service's client refuses, so a request behaves the
// same against either.
class EmbeddedTimeZoneClient final : public IHttpClient {
public:
    explicit EmbeddedTimeZoneClient(const ITimeZoneDatabase& zones) : m_zones(zones) {}

    // Nothing is waited for in-process.
    void setTimeouts(long resolveMs, long connectMs, long sendMs, long receiveMs) override
    {
        if (resolveMs < 0 || connectMs < 0 || sendMs < 0 || receiveMs < 0) {
            throw PlatformError("A time-out cannot be negative");
        }
    }

    // Any method is answered, as the service answers them.
    void Open(const std::string&, const std::string& url, bool async) override
    {
        if (async) {
            throw PlatformError("Only synchronous requests are supported");
        }
        if (m_response) {
            throw PlatformError("This request has already been sent");
        }
        m_opened = false;
        if (!IsTimeZoneServiceAddress(url)) {
            throw PlatformError(
                "The embedded time zone service answers only https://HOST/maps/api/timezone/json, not \"" + url + "\"");
        }
        m_url = url;
        m_opened = true;
    }

    void SetRequestHeader(const std::string&, const std::string&) override
    {
        if (!m_opened) {
            throw PlatformError("SetRequestHeader called before Open");
        }
    }

    // The service reads its question from the address; the body is not read.
    void Send(const std::string&) override
    {
        if (!m_opened) {
            throw PlatformError("Send called before Open");
        }
        if (m_response) {
            throw PlatformError("This request has already been sent");
        }
        m_response = AnswerTimeZoneRequest(m_url, m_zones);
    }

    std::string responseText() const override
    {
        if (!m_response) {
            throw PlatformError("No response has been received");
        }
        return *m_response;
    }

private:
    const ITimeZoneDatabase& m_zones;
    bool m_opened = false;
    std::string m_url;
    std::optional<std::string> m_response;
};

} // namespace

std::unique_ptr<IHttpClient> EmbeddedTimeZoneServiceFactory::CreateHttpClient(const std::string&)
{
    return std::make_unique<EmbeddedTimeZoneClient>(m_zones);
}

} // namespace chronavel
