// The time zone half of a request: from the server's time to the province's
// local time text.
#include "time/clsCheckTime.h"

#include "platform/Checkpoint.h"
#include "platform/PlatformError.h"
#include "time/LocalTime.h"
#include "time/ProvinceLocations.h"
#include "time/ResultTexts.h"
#include "time/TimeZoneRequest.h"

namespace chronavel {
namespace {

constexpr long ResolveTimeoutMs = 0; // no limit
constexpr long ConnectTimeoutMs = 10000;
constexpr long SendTimeoutMs = 10000;
constexpr long ReceiveTimeoutMs = 10000;

} // namespace

void clsCheckTime::LookupLocalTime(const ServerClock& serverClock)
{
    const std::string location = FindProvinceLocation(m_sProvince);

    std::string response;
    try {
        ShowCheckpoint(m_platform.messageBox, "P6");
        const std::unique_ptr<IHttpClient> http = m_platform.httpClients.CreateHttpClient(m_endpoints.trustedCaFile);
        ShowCheckpoint(m_platform.messageBox, "P7");
        // Built now rather than before the boxes, so the service is asked
        // about the second in which it is asked.
        const std::string address
            = BuildTimeZoneAddress(m_endpoints.timeZoneServiceHost, location,
                                   serverClock.At(m_platform.monotonicClock.Now()), m_endpoints.timeZoneApiKey);
        http->setTimeouts(ResolveTimeoutMs, ConnectTimeoutMs, SendTimeoutMs, ReceiveTimeoutMs);
        http->Open("POST", address, false);
        http->SetRequestHeader("Content-Type", "application/x-www-form-urlencoded");
        http->Send(address); // the service is sent its own address as the body
        ShowCheckpoint(m_platform.messageBox, "P8");
        response = http->responseText();
    } catch (const RequestAbandoned&) {
        throw;
    } catch (const std::exception&) {
        m_sResult = RetrievingTimeError;
        return;
    }

    try {
        StoreOffsets(response);
    } catch (const RequestAbandoned&) {
        throw;
    } catch (const std::exception&) {
        m_sResult = RetrievingTimeError;
    }
    ShowCheckpoint(m_platform.messageBox, "P9");
}

void clsCheckTime::StoreOffsets(const std::string& response)
{
    // Each read parses the whole response again; a text that is not JSON
    // reads as an empty status.
    if (GetJsonValue(response, "status") != "OK") {
        m_sResult = RetrievingTimeError;
        return;
    }
    const std::optional<std::int16_t> dst = ParseOffsetSeconds(GetJsonValue(response, "dstOffset"));
    const std::optional<std::int16_t> raw = ParseOffsetSeconds(GetJsonValue(response, "rawOffset"));
    if (!dst || !raw) {
        m_sResult = RetrievingTimeError;
        return;
    }
    // The text itself is written when the request hands it over, so that it
    // shows the second current then.
    m_offsets = ZoneOffsets{.dst = *dst, .raw = *raw};
}

std::string clsCheckTime::GetJsonValue(const std::string& json, const std::string& key)
{
    const std::unique_ptr<JsonParser> parser = m_platform.jsonParsers.CreateJsonParser();
    if (parser->Parse(json) == 1) {
        return parser->GetValue(key);
    }
    m_sResult = UnparsableJsonError;
    return {};
}

} // namespace chronavel
