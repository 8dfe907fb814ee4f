#include "tests/support/OpenSslError.h"

#include <openssl/err.h>

namespace chronavel::testing {

std::string DescribeOpenSslError(const std::string& what)
{
    std::string description = what;
    if (const unsigned long error = ERR_get_error(); error != 0) {
        char text[256];
        ERR_error_string_n(error, text, sizeof text);
        description += ": ";
        description += text;
    }
    ERR_clear_error();
    return description;
}

} // namespace chronavel::testing
