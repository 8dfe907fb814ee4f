#include "time/ProvinceLocations.h"

#include "platform/ProvincePlaces.h"

namespace chronavel {

std::string FindProvinceLocation(const std::string& code)
{
    for (const ProvincePlace& place : ProvincePlaces) {
        if (place.code == code) {
            return std::string(place.location);
        }
    }
    return {};
}

} // namespace chronavel
