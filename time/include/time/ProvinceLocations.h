#pragma once

#include <string>

namespace chronavel {

// "latitude, longitude" of a place in the province or territory with that
// code (exact, case-sensitive); empty for a code that is not known.
std::string FindProvinceLocation(const std::string& code);

} // namespace chronavel
