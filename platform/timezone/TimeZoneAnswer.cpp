#include "platform/timezone/TimeZoneAnswer.h"

#include "platform/timezone/TimeZoneQuery.h"

#include <nlohmann/json.hpp>

namespace chronavel {
namespace {

using Json = nlohmann::json;

std::string Write(const Json& answer)
{
    // Replaces rather than throws on text that is not UTF-8.
    return answer.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string Failure(const char* status, const std::string& message)
{
    return Write(Json::object({{"errorMessage", message}, {"status", status}}));
}

} // namespace

std::string AnswerTimeZoneRequest(std::string_view address, const ITimeZoneDatabase& zones)
{
    const std::variant<TimeZoneQuery, UnreadableQuery> read = ReadTimeZoneQuery(address);
    if (const auto* unreadable = std::get_if<UnreadableQuery>(&read)) {
        return Failure("INVALID_REQUEST", unreadable->message);
    }
    const TimeZoneQuery& query = std::get<TimeZoneQuery>(read);

    const std::optional<std::string_view> zone = query.location ? FindZoneAt(*query.location) : std::nullopt;
    if (!zone) {
        // What the service says of a place where it knows no zone.
        return Write(Json::object({{"status", "ZERO_RESULTS"}}));
    }
    const std::string zoneId(*zone);
    const std::optional<ZoneState> state = zones.Lookup(zoneId, query.timestamp);
    if (!state) {
        return Failure("UNKNOWN_ERROR",
                       "The system's time zone database has no rules for " + zoneId + " at that time.");
    }
    // rawOffset is the standard offset, dstOffset the daylight saving part, both in seconds.
    return Write(Json::object({
        {"dstOffset", state->daylightSaving.count()},
        {"rawOffset", state->standardOffset.count()},
        {"status", "OK"},
        {"timeZoneId", zoneId},
        {"timeZoneName", state->longName},
    }));
}

} // namespace chronavel
