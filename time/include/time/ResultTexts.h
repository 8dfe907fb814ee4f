#pragma once

namespace chronavel {

// Every failure a request handles ends as one of these texts, or as
// ErrorPrefix followed by the platform's description of the failure.
inline constexpr const char* ErrorPrefix = "Error: ";
inline constexpr const char* TimeoutError = "Error: Timeout";
inline constexpr const char* InvalidReplyError = "Error: Invalid Time Reply";
inline constexpr const char* RetrievingTimeError = "Error: Retrieving Time";
inline constexpr const char* UnparsableJsonError = "Error: Unable To Parse JSON";

} // namespace chronavel
