#include "platform/win32/HttpsAddress.h"

#include "platform/PlatformError.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace chronavel {
namespace {

constexpr std::string_view Scheme = "https://";

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return text.size() >= prefix.size()
        && std::equal(prefix.begin(), prefix.end(), text.begin(), [&](char a, char b) { return lower(a) == lower(b); });
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsHostNameCharacter(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '.' || c == '_';
}

bool IsIpv6Character(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

// Printable ASCII only: a line break would split the request, and WinHTTP
// would recode anything else its own way.
bool IsPrintableAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < '\x7F'; });
}

std::string EncodeSpaces(const std::string& url)
{
    std::string encoded;
    encoded.reserve(url.size());
    for (const char c : url) {
        encoded += c == ' ' ? std::string_view("%20") : std::string_view(&c, 1);
    }
    return encoded;
}

} // namespace

HttpsAddress ParseHttpsAddress(const std::string& url)
{
    const std::string encoded = EncodeSpaces(url);
    const std::string_view text = encoded;
    const std::string_view beforeQuery = text.substr(0, text.find_first_of("?#"));
    const auto refuse = [&](const std::string& why) {
        return PlatformError("Invalid address \"" + std::string(beforeQuery) + "\": " + why);
    };
    if (!StartsWithIgnoringCase(text, Scheme)) {
        throw PlatformError("Only https:// addresses are allowed, not \"" + std::string(beforeQuery) + "\"");
    }
    if (!IsPrintableAscii(text)) {
        throw refuse("it may hold printable ASCII characters only");
    }

    // The fragment never goes on the wire.
    const std::string_view rest = text.substr(Scheme.size(), text.find('#') - Scheme.size());
    const std::size_t authorityEnd = std::min(rest.find_first_of("/?"), rest.size());
    const std::string_view authority = rest.substr(0, authorityEnd);

    HttpsAddress address;
    std::string_view hostAndPort = authority;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos || close == 1
            || !std::all_of(authority.begin() + 1, authority.begin() + close, IsIpv6Character)) {
            throw refuse("the host is not an IPv6 address");
        }
        address.host = authority.substr(1, close - 1);
        hostAndPort = authority.substr(close + 1);
        if (!hostAndPort.empty() && hostAndPort.front() != ':') {
            throw refuse("unexpected text after the host");
        }
    } else {
        address.host = authority.substr(0, authority.find(':'));
        if (address.host.empty() || !std::all_of(address.host.begin(), address.host.end(), IsHostNameCharacter)) {
            throw refuse("no valid host name");
        }
    }
    if (const std::size_t colon = hostAndPort.find(':'); colon != std::string_view::npos) {
        const std::string_view digits = hostAndPort.substr(colon + 1);
        unsigned port = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || port == 0
            || port > 65535) {
            throw refuse("no valid port");
        }
        address.port = static_cast<std::uint16_t>(port);
    }

    const std::string_view target = rest.substr(authorityEnd);
    // append, not "/" + ...: GCC 12 at -O2 warns of an overlap there that cannot happen (GCC bug 105651).
    address.target = std::string(target.empty() || target.front() == '?' ? "/" : "").append(target);
    address.shown = std::string(beforeQuery.substr(0, Scheme.size() + authorityEnd))
        + std::string(address.target.substr(0, address.target.find('?')));
    return address;
}

} // namespace chronavel
