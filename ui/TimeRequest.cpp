#include "ui/TimeRequest.h"

#include "time/clsCheckTime.h"

#include <utility>

namespace chronavel {

TimeRequest RealTimeRequest(const Platform& platform, Endpoints endpoints)
{
    return [&platform, endpoints = std::move(endpoints)](const std::string& sProvince) {
        clsCheckTime checkTime(platform, endpoints);
        return checkTime.GetRealTime(sProvince);
    };
}

} // namespace chronavel
