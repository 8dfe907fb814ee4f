#pragma once

#include <chrono>
#include <string>

namespace chronavel {

// Every failure a request handles ends as one of these texts, or as
// ErrorPrefix followed by the platform's description of the failure.
inline constexpr const char* ErrorPrefix = "Error: ";
inline constexpr const char* TimeoutError = "Error: Timeout";
inline constexpr const char* InvalidReplyError = "Error: Invalid Time Reply";
inline constexpr const char* RetrievingTimeError = "Error: Retrieving Time";
inline constexpr const char* UnparsableJsonError = "Error: Unable To Parse JSON";

// Authenticated time: what kept the key exchange or its reply from giving a time.
inline constexpr const char* KeyExchangeRefusedError = "Error: The time server refused the secure connection";
inline constexpr const char* KeyExchangeUnreachableError = "Error: The time server cannot be reached";
inline constexpr const char* KeyExchangeSilentError
    = "Error: The time server did not complete the secure connection in time";
inline constexpr const char* KeyExchangeTlsError
    = "Error: The time server offers no secure connection this program accepts (TLS 1.3 with NTS)";
inline constexpr const char* UntrustedCertificateError = "Error: The time server's certificate is not trusted";
inline constexpr const char* WrongHostCertificateError = "Error: The time server's certificate is for another server";
inline constexpr const char* KeyExchangeFailedError = "Error: The secure connection to the time server failed: ";
inline constexpr const char* KeyExchangeRejectedError = "Error: The time server refused the key exchange, code ";
inline constexpr const char* KeyExchangeWarningError
    = "Error: The time server ended the key exchange with a warning, code ";
inline constexpr const char* NoCookieError = "Error: The time server's key exchange gave no cookie";
inline constexpr const char* UnusableKeyExchangeError = "Error: The time server's key exchange answer is unusable";
inline constexpr const char* NtsNakError = "Error: The time server did not accept the key exchange's cookie";

inline std::string SlowReplyError(std::chrono::milliseconds delay, std::chrono::milliseconds limit)
{
    return "Error: The time server's reply spent " + std::to_string(delay.count())
        + " ms on the network, more than the " + std::to_string(limit.count()) + " ms allowed";
}

} // namespace chronavel
