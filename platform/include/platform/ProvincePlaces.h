#pragma once

#include <array>
#include <string_view>

namespace chronavel {

// A place in each province or territory: where the time lookup asks about,
// and the zone the built-in time zone service answers for it.
struct ProvincePlace {
    std::string_view code;
    std::string_view location; // "latitude, longitude", as the service's address writes it
    std::string_view zone;     // IANA
};

// Searched in this order; the first exact match wins.
inline constexpr std::array<ProvincePlace, 13> ProvincePlaces{{
    {"BC", "48.43590, -123.3515", "America/Vancouver"},
    {"AB", "53.55014, -113.4687", "America/Edmonton"},
    {"SK", "52.13238, -106.6689", "America/Regina"},
    {"MB", "49.88440, -97.14704", "America/Winnipeg"},
    {"ON", "43.70011, -79.41630", "America/Toronto"},
    {"QC", "46.81228, -71.21454", "America/Toronto"},
    {"NB", "45.94541, -66.66558", "America/Moncton"},
    {"NS", "44.64640, -63.57291", "America/Halifax"},
    {"PE", "46.23459, -63.12560", "America/Halifax"},
    {"NL", "47.56145, -52.71185", "America/St_Johns"},
    {"YT", "60.72069, -135.0522", "America/Whitehorse"},
    {"NT", "62.45446, -114.3565", "America/Edmonton"},
    {"NU", "63.74606, -68.52474", "America/Iqaluit"},
}};

} // namespace chronavel
