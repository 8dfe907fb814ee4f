#include "platform/openssl/OpenSslErrorText.h"

#include <openssl/err.h>

namespace chronavel {

std::string OpenSslErrorText(const std::string& what)
{
    const char* data = nullptr;
    int flags = 0;
    const unsigned long error = ERR_get_error_all(nullptr, nullptr, nullptr, &data, &flags);
    std::string text;
    if (error != 0 && !ERR_SYSTEM_ERROR(error) && data != nullptr && *data != '\0' && (flags & ERR_TXT_STRING) != 0) {
        text = data; // the system's own words where OpenSSL kept them, as for a failed lookup
    } else if (error != 0) {
        char code[256];
        ERR_error_string_n(error, code, sizeof code);
        // error:CODE:LIBRARY:FUNCTION:REASON, of which the reason reads best.
        text = code;
        text.erase(0, text.rfind(':') + 1);
    }
    ERR_clear_error();
    return text.empty() ? what : what + ": " + text;
}

} // namespace chronavel
