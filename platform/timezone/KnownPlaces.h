#pragma once

#include <optional>
#include <string_view>

namespace chronavel {

struct Coordinates {
    double latitude = 0;  // degrees north
    double longitude = 0; // degrees east
};

// The IANA zone of a place this program asks about; nothing for any other place.
std::optional<std::string_view> FindZoneAt(Coordinates place);

} // namespace chronavel
