#pragma once

#include "platform/Platform.h"
#include "time/Endpoints.h"

#include <functional>
#include <string>

namespace chronavel {

// Asks for a province's current local time: the time as text, or a text
// beginning with "Error". May pump events while it waits, and may throw.
using TimeRequest = std::function<std::string(const std::string& sProvince)>;

// Each call runs on a clsCheckTime of its own, so a request nested inside
// another (a second click while the first waits) shares no state with it.
TimeRequest RealTimeRequest(const Platform& platform, Endpoints endpoints = {});

} // namespace chronavel
