#include "platform/common/HttpRequestRules.h"

#include "platform/PlatformError.h"

#include <algorithm>
#include <climits>

namespace chronavel {
namespace {

// RFC 9110 section 5.6.2: header names are tokens.
bool IsTokenCharacter(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
        || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// Schemes are compared without regard to case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::string EncodeSpaces(const std::string& url)
{
    std::string encoded;
    for (const char c : url) {
        encoded += c == ' ' ? std::string_view("%20") : std::string_view(&c, 1);
    }
    return encoded;
}

} // namespace

void RuledHttpClient::setTimeouts(long resolveMs, long connectMs, long sendMs, long receiveMs)
{
    if (resolveMs < 0 || connectMs < 0 || sendMs < 0 || receiveMs < 0) {
        throw PlatformError("A time-out cannot be negative");
    }
    m_request.timeouts = {resolveMs, connectMs, sendMs, receiveMs};
}

void RuledHttpClient::Open(const std::string& method, const std::string& url, bool async)
{
    if (async) {
        throw PlatformError("Only synchronous requests are supported");
    }
    if (m_opened) {
        throw PlatformError("This request has already been opened");
    }
    if (method != "POST") {
        throw PlatformError("Only POST requests are supported, not \"" + method + "\"");
    }
    std::string encoded = EncodeSpaces(url);
    const std::string shown(WithoutQuery(encoded));
    if (!EqualsIgnoringCase(encoded.substr(0, 8), "https://")) {
        throw PlatformError("Only https:// addresses are allowed, not \"" + shown + "\"");
    }
    // A line break would split the request; anything else beyond ASCII each
    // platform would encode its own way.
    if (!std::all_of(encoded.begin(), encoded.end(), [](char c) { return c > ' ' && c < '\x7F'; })) {
        throw PlatformError("Invalid address \"" + shown + "\": it may hold printable ASCII characters only");
    }
    m_request.url = std::move(encoded);
    m_opened = true;
}

void RuledHttpClient::SetRequestHeader(const std::string& name, const std::string& value)
{
    if (!m_opened) {
        throw PlatformError("SetRequestHeader called before Open");
    }
    if (name.empty() || !std::all_of(name.begin(), name.end(), IsTokenCharacter)) {
        throw PlatformError("Invalid header name \"" + name + "\"");
    }
    // A line break would let the value start a header of its own.
    if (value.find_first_of("\r\n") != std::string::npos) {
        throw PlatformError("A header value cannot contain a line break");
    }
    m_request.headers.emplace_back(name, value);
}

void RuledHttpClient::Send(const std::string& body)
{
    if (!m_opened) {
        throw PlatformError("Send called before Open");
    }
    if (m_sent) {
        throw PlatformError("This request has already been sent");
    }
    m_sent = true;
    try {
        m_response = Perform(m_request, body);
    } catch (const PlatformError& failure) {
        throw PlatformError(std::string(WithoutQuery(m_request.url)) + ": " + failure.what());
    }
}

std::string RuledHttpClient::responseText() const
{
    if (!m_response) {
        throw PlatformError("No response has been received");
    }
    return *m_response;
}

long ConnectLimitMs(const HttpTimeouts& timeouts)
{
    if (timeouts.connectMs == 0) {
        return 0;
    }
    return std::min<long>(timeouts.connectMs + timeouts.resolveMs, INT_MAX);
}

std::string_view WithoutQuery(std::string_view url)
{
    return url.substr(0, url.find_first_of("?#"));
}

} // namespace chronavel
