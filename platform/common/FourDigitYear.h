#pragma once

#include <string>

namespace chronavel {

// A date picture ("M/d/yy") with every year field outside quoted text
// widened to four digits ("M/d/yyyy"). Qt's and Windows' pictures agree on both.
std::wstring WithFourDigitYear(const std::wstring& picture);

} // namespace chronavel
