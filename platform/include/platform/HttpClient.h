#pragma once

#include <memory>
#include <string>

namespace chronavel {

// One synchronous HTTPS request. Every operation that fails throws
// PlatformError: a rejected address, a time-out, a network or TLS error, an
// unreadable or oversized response.
class IHttpClient {
public:
    virtual ~IHttpClient() = default;

    // Milliseconds; 0 means no limit. Resolving the name counts against the
    // connect limit; the receive limit bounds the whole response from the end
    // of sending.
    virtual void setTimeouts(long resolveMs, long connectMs, long sendMs, long receiveMs) = 0;
    virtual void Open(const std::string& method, const std::string& url, bool async) = 0;
    virtual void SetRequestHeader(const std::string& name, const std::string& value) = 0;
    // Returns when the response has arrived, or throws.
    virtual void Send(const std::string& body) = 0;
    virtual std::string responseText() const = 0;
};

class IHttpClientFactory {
public:
    virtual ~IHttpClientFactory() = default;
    // trustedCaFile names a CA bundle to trust instead of the system's store;
    // empty means the system's store.
    virtual std::unique_ptr<IHttpClient> CreateHttpClient(const std::string& trustedCaFile) = 0;
};

} // namespace chronavel
