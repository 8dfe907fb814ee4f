#pragma once

#include <string>

namespace chronavel {

// What failed, then OpenSSL's own account of its latest error on this
// thread, whose error queue is left empty.
std::string OpenSslErrorText(const std::string& what);

} // namespace chronavel
