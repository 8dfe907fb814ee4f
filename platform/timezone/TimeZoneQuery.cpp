#include "platform/timezone/TimeZoneQuery.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace chronavel {
namespace {

constexpr std::string_view Scheme = "https://";
constexpr std::string_view ServicePath = "/maps/api/timezone/json";

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view QueryOf(std::string_view address)
{
    const std::size_t start = address.find('?');
    if (start == std::string_view::npos) {
        return {};
    }
    const std::string_view query = address.substr(start + 1);
    return query.substr(0, query.find('#'));
}

// The value first given to the name; nothing when the name is absent.
std::optional<std::string_view> RawParameter(std::string_view query, std::string_view name)
{
    while (!query.empty()) {
        const std::size_t end = query.find('&');
        const std::string_view pair = query.substr(0, end);
        query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
        const std::size_t equals = pair.find('=');
        if (pair.substr(0, equals) == name) {
            return equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
        }
    }
    return std::nullopt;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = Lower(c);
    return (lower >= 'a' && lower <= 'f') ? lower - 'a' + 10 : -1;
}

// Nothing for a broken %-escape.
std::optional<std::string> Decode(std::string_view encoded)
{
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '+') {
            decoded += ' ';
        } else if (encoded[i] != '%') {
            decoded += encoded[i];
        } else if (i + 2 < encoded.size() && HexValue(encoded[i + 1]) >= 0 && HexValue(encoded[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(encoded[i + 1]) * 16 + HexValue(encoded[i + 2]));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return decoded;
}

std::string_view TrimSpaces(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The whole text as one number in JSON's notation, never the user's locale.
template <typename Number>
std::optional<Number> ReadNumber(std::string_view text)
{
    Number value{};
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<Coordinates> ReadCoordinates(std::string_view text)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<double> latitude = ReadNumber<double>(TrimSpaces(text.substr(0, comma)));
    const std::optional<double> longitude = ReadNumber<double>(TrimSpaces(text.substr(comma + 1)));
    // Written so that "nan" and "inf", which from_chars reads, fall outside too.
    if (!latitude || !longitude || !(std::abs(*latitude) <= 90) || !(std::abs(*longitude) <= 180)) {
        return std::nullopt;
    }
    return Coordinates{*latitude, *longitude};
}

} // namespace

bool IsTimeZoneServiceAddress(std::string_view address)
{
    if (address.size() < Scheme.size()
        || !std::equal(Scheme.begin(), Scheme.end(), address.begin(), [](char a, char b) { return a == Lower(b); })) {
        return false;
    }
    const std::string_view rest = address.substr(Scheme.size());
    const std::size_t hostEnd = rest.find_first_of("/?#");
    if (hostEnd == 0 || hostEnd == std::string_view::npos || rest[hostEnd] != '/') {
        return false;
    }
    const std::size_t pathEnd = rest.find_first_of("?#", hostEnd);
    return rest.substr(hostEnd, pathEnd - hostEnd) == ServicePath;
}

std::variant<TimeZoneQuery, UnreadableQuery> ReadTimeZoneQuery(std::string_view address)
{
    const std::string_view query = QueryOf(address);
    const std::optional<std::string_view> rawLocation = RawParameter(query, "location");
    const std::optional<std::string_view> rawTimestamp = RawParameter(query, "timestamp");
    if (!rawLocation) {
        return UnreadableQuery{"Invalid request. Missing the 'location' parameter."};
    }
    if (!rawTimestamp) {
        return UnreadableQuery{"Invalid request. Missing the 'timestamp' parameter."};
    }

    TimeZoneQuery read;
    const std::optional<std::string> location = Decode(*rawLocation);
    if (!location) {
        return UnreadableQuery{"Invalid request. Invalid 'location' parameter."};
    }
    if (!TrimSpaces(*location).empty()) {
        read.location = ReadCoordinates(*location);
        if (!read.location) {
            return UnreadableQuery{"Invalid request. Invalid 'location' parameter."};
        }
    }
    const std::optional<std::string> timestamp = Decode(*rawTimestamp);
    const std::optional<std::int64_t> seconds = timestamp ? ReadNumber<std::int64_t>(*timestamp) : std::nullopt;
    if (!seconds) {
        return UnreadableQuery{"Invalid request. Invalid 'timestamp' parameter."};
    }
    read.timestamp = std::chrono::sys_seconds{std::chrono::seconds{*seconds}};
    return read;
}

} // namespace chronavel
