#pragma once

#include <string>

namespace chronavel::testing {

// What failed, followed by OpenSSL's own account of the latest error.
std::string DescribeOpenSslError(const std::string& what);

} // namespace chronavel::testing
