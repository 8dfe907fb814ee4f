#include "platform/timezone/EmbeddedTimeZoneService.h"

#include "platform/common/HttpRequestRules.h"
#include "platform/timezone/TimeZoneAnswer.h"

namespace chronavel {
namespace {

// Refuses what the web service's clients refuse, so a request behaves the
// same against either; nothing is waited for in-process.
class EmbeddedTimeZoneClient final : public RuledHttpClient {
public:
    explicit EmbeddedTimeZoneClient(const ITimeZoneDatabase& zones) : m_zones(zones) {}

private:
    // The service reads its question from the address; the body is not read.
    std::string Perform(const Request& request, const std::string&) override
    {
        return AnswerTimeZoneRequest(request.url, m_zones);
    }

    const ITimeZoneDatabase& m_zones;
};

} // namespace

std::unique_ptr<IHttpClient> EmbeddedTimeZoneServiceFactory::CreateHttpClient(const std::string&)
{
    return std::make_unique<EmbeddedTimeZoneClient>(m_zones);
}

} // namespace chronavel
