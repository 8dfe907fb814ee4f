#include "platform/openssl/OpenSslErrorText.h"

#include <openssl/err.h>

namespace chronavel {

std::string OpenSslErrorText(const std::string& what)
{
    const unsigned long error = ERR_get_error();
    ERR_clear_error();
    if (error == 0) {
        return what;
    }
    char text[256];
    ERR_error_string_n(error, text, sizeof text);
    return what + ": " + text;
}

} // namespace chronavel
