// Any key-exchange response: accepted only when whole, with cookies cut from
// the input itself and within their bounds.
#include "nts/KeRecords.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace chronavel;
    const std::span<const std::uint8_t> input(data, size);
    const std::optional<std::size_t> length = NtsKeResponseLength(input);
    if (length && *length > size) {
        std::abort();
    }
    const NtsKeResponse response = ParseNtsKeResponse(input);
    if (response.outcome != NtsKeOutcome::Accepted) {
        if (!response.cookies.empty()) {
            std::abort();
        }
        return 0;
    }
    // Accepted: the whole input is one message, ending at its End of Message.
    if (size > NtsKeResponseLimit || length != size) {
        std::abort();
    }
    if (response.cookies.empty() || response.cookies.size() > 8) {
        std::abort();
    }
    for (const std::vector<std::uint8_t>& cookie : response.cookies) {
        if (cookie.empty() || cookie.size() > 256
            || std::search(input.begin(), input.end(), cookie.begin(), cookie.end()) == input.end()) {
            std::abort();
        }
    }
    return 0;
}
