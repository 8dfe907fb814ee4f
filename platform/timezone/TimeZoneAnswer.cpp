#include "platform/timezone/TimeZoneAnswer.h"

#include "platform/ProvincePlaces.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cstdint>
#include <optional>

namespace chronavel {
namespace {

using Json = nlohmann::json;

struct Question {
    std::string_view location;
    std::chrono::sys_seconds timestamp;
};

// The one form time/TimeZoneRequest.cpp writes:
// https://HOST/maps/api/timezone/json?location=LOCATION&timestamp=SECONDS&key=KEY
std::optional<Question> ReadQuestion(std::string_view address)
{
    const auto skip = [&](std::string_view text) {
        const bool there = address.starts_with(text);
        address.remove_prefix(there ? text.size() : 0);
        return there;
    };
    const auto take = [&](std::string_view stops) {
        const std::string_view taken = address.substr(0, address.find_first_of(stops));
        address.remove_prefix(taken.size());
        return taken;
    };
    if (!skip("https://") || take("/?#&").empty() || !skip("/maps/api/timezone/json?location=")) {
        return std::nullopt;
    }
    const std::string_view location = take("&#");
    if (!skip("&timestamp=")) {
        return std::nullopt;
    }
    const std::string_view seconds = take("&#");
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(seconds.data(), seconds.data() + seconds.size(), value);
    if (seconds.empty() || error != std::errc() || end != seconds.data() + seconds.size() || !skip("&key=")
        || address.find_first_of("&#") != std::string_view::npos) {
        return std::nullopt;
    }
    return Question{location, std::chrono::sys_seconds{std::chrono::seconds{value}}};
}

// The table's zone for a location written as the address writes it.
std::optional<std::string> ZoneAt(std::string_view location)
{
    for (const ProvincePlace& place : ProvincePlaces) {
        std::string written(place.location);
        written.replace(written.find(' '), 1, "%20");
        if (written == location) {
            return std::string(place.zone);
        }
    }
    return std::nullopt;
}

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
    const std::optional<Question> question = ReadQuestion(address);
    if (!question) {
        return Failure("INVALID_REQUEST", "Invalid request.");
    }
    if (question->location.empty()) {
        // What the service says of a place where it knows no zone.
        return Write(Json::object({{"status", "ZERO_RESULTS"}}));
    }
    const std::optional<std::string> zone = ZoneAt(question->location);
    if (!zone) {
        return Failure("INVALID_REQUEST", "Invalid request. Invalid 'location' parameter.");
    }
    const std::optional<ZoneState> state = zones.Lookup(*zone, question->timestamp);
    if (!state) {
        return Failure("UNKNOWN_ERROR", "The system's time zone database has no rules for " + *zone + " at that time.");
    }
    // rawOffset is the standard offset, dstOffset the daylight saving part, both in seconds.
    return Write(Json::object({
        {"dstOffset", state->daylightSaving.count()},
        {"rawOffset", state->standardOffset.count()},
        {"status", "OK"},
        {"timeZoneId", *zone},
        {"timeZoneName", state->longName},
    }));
}

} // namespace chronavel
