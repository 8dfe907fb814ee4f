#include "platform/common/HttpRequestRules.h"

#include "platform/PlatformError.h"

#include <algorithm>
#include <string_view>

namespace chronavel {
namespace {

// RFC 9110 section 5.6.2: methods and header names are tokens.
bool IsTokenCharacter(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
        || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsToken(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), IsTokenCharacter);
}

} // namespace

HttpTimeouts CheckedTimeouts(long resolveMs, long connectMs, long sendMs, long receiveMs)
{
    if (resolveMs < 0 || connectMs < 0 || sendMs < 0 || receiveMs < 0) {
        throw PlatformError("A time-out cannot be negative");
    }
    return {resolveMs, connectMs, sendMs, receiveMs};
}

void CheckOpen(bool async, bool alreadySent)
{
    if (async) {
        throw PlatformError("Only synchronous requests are supported");
    }
    if (alreadySent) {
        throw PlatformError("This request has already been sent");
    }
}

void CheckMethod(const std::string& method)
{
    if (!IsToken(method)) {
        throw PlatformError("Invalid request method \"" + method + "\"");
    }
}

void CheckRequestHeader(const std::string& name, const std::string& value)
{
    if (!IsToken(name)) {
        throw PlatformError("Invalid header name \"" + name + "\"");
    }
    // A line break would let the value start a header of its own.
    if (value.find_first_of("\r\n") != std::string::npos) {
        throw PlatformError("A header value cannot contain a line break");
    }
}

} // namespace chronavel
