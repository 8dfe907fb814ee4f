#include "platform/timezone/KnownPlaces.h"

#include <array>
#include <cmath>

namespace chronavel {
namespace {

struct KnownPlace {
    Coordinates where;
    std::string_view zone;
};

// The province table's locations. A place written to fewer decimals still
// matches; these lie hundreds of kilometres apart, so none is mistaken for another.
constexpr double ToleranceDegrees = 0.01;

constexpr std::array<KnownPlace, 13> KnownPlaces{{
    {{48.43590, -123.3515}, "America/Vancouver"},  // BC
    {{53.55014, -113.4687}, "America/Edmonton"},   // AB
    {{52.13238, -106.6689}, "America/Regina"},     // SK
    {{49.88440, -97.14704}, "America/Winnipeg"},   // MB
    {{43.70011, -79.41630}, "America/Toronto"},    // ON
    {{46.81228, -71.21454}, "America/Toronto"},    // QC
    {{45.94541, -66.66558}, "America/Moncton"},    // NB
    {{44.64640, -63.57291}, "America/Halifax"},    // NS
    {{46.23459, -63.12560}, "America/Halifax"},    // PE
    {{47.56145, -52.71185}, "America/St_Johns"},   // NL
    {{60.72069, -135.0522}, "America/Whitehorse"}, // YT
    {{62.45446, -114.3565}, "America/Edmonton"},   // NT
    {{63.74606, -68.52474}, "America/Iqaluit"},    // NU
}};

} // namespace

std::optional<std::string_view> FindZoneAt(Coordinates place)
{
    for (const KnownPlace& known : KnownPlaces) {
        if (std::abs(place.latitude - known.where.latitude) <= ToleranceDegrees
            && std::abs(place.longitude - known.where.longitude) <= ToleranceDegrees) {
            return known.zone;
        }
    }
    return std::nullopt;
}

} // namespace chronavel
