#pragma once

#include <string>
#include <string_view>

namespace chronavel {

// The platform speaks UTF-16 (the W functions); the rest of the program
// speaks UTF-8. Conversions happen at that boundary and nowhere else.
// Invalid sequences become U+FFFD rather than failing.
std::wstring ToWide(std::string_view utf8);
std::string ToUtf8(std::wstring_view wide);

} // namespace chronavel
