#pragma once

#include <cstdint>
#include <string>

namespace chronavel {

// An https:// address taken apart for WinHTTP, which wants the host, the
// port and the request target separately.
struct HttpsAddress {
    std::string host; // without the brackets of an IPv6 literal
    std::uint16_t port = 443;
    std::string target; // path and query, exactly as they go on the request line
    // The address as far as its path: safe to show, since the query may hold
    // the service's key.
    std::string shown;
};

// Spaces become %20; nothing else is encoded or normalised. Throws
// PlatformError for anything but a plain https:// address, quoting it
// without its query.
HttpsAddress ParseHttpsAddress(const std::string& url);

} // namespace chronavel
