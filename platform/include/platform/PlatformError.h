#pragma once

#include <stdexcept>
#include <string>

namespace chronavel {

// A failure that a platform service reports synchronously. what() is the
// platform's own description of it, shown to the user after "Error: ".
class PlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised by the event pump and the message box once the application is
// shutting down: the request that is waiting is abandoned, not answered.
class RequestAbandoned : public std::exception {
public:
    const char* what() const noexcept override { return "The application is closing"; }
};

} // namespace chronavel
