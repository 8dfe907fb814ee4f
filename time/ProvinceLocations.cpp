#include "time/ProvinceLocations.h"

#include <array>
#include <string_view>
#include <utility>

namespace chronavel {
namespace {

// Searched in this order; the first exact match wins.
constexpr std::array<std::pair<std::string_view, std::string_view>, 13> ProvinceLocations{{
    {"BC", "48.43590, -123.3515"},
    {"AB", "53.55014, -113.4687"},
    {"SK", "52.13238, -106.6689"},
    {"MB", "49.88440, -97.14704"},
    {"ON", "43.70011, -79.41630"},
    {"QC", "46.81228, -71.21454"},
    {"NB", "45.94541, -66.66558"},
    {"NS", "44.64640, -63.57291"},
    {"PE", "46.23459, -63.12560"},
    {"NL", "47.56145, -52.71185"},
    {"YT", "60.72069, -135.0522"},
    {"NT", "62.45446, -114.3565"},
    {"NU", "63.74606, -68.52474"},
}};

} // namespace

std::string FindProvinceLocation(const std::string& code)
{
    for (const auto& [province, location] : ProvinceLocations) {
        if (province == code) {
            return std::string(location);
        }
    }
    return {};
}

} // namespace chronavel
