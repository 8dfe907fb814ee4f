#pragma once

#include <string>

namespace chronavel {

// What every HTTP client of the platform refuses before it touches the
// network, each with a PlatformError: the same rules, and the same texts, in
// both flavours.

// The client's time-outs, in milliseconds; 0 means no limit.
struct HttpTimeouts {
    long resolveMs = 0;
    long connectMs = 0;
    long sendMs = 0;
    long receiveMs = 0;
};

// The time-outs setTimeouts was given; none may be negative.
HttpTimeouts CheckedTimeouts(long resolveMs, long connectMs, long sendMs, long receiveMs);

// Open: synchronous only, and once per object.
void CheckOpen(bool async, bool alreadySent);

// A request method is an HTTP token.
void CheckMethod(const std::string& method);

// SetRequestHeader: a name that is an HTTP token, a value on one line.
void CheckRequestHeader(const std::string& name, const std::string& value);

} // namespace chronavel
