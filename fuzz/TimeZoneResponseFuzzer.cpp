// Any response body from the time zone service, through the whole lookup:
// the request ends in a date text or in the retrieval error, never worse.
#include "time/clsCheckTime.h"

#include "tests/support/ScriptedPlatform.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace chronavel;
    using namespace chronavel::testing;

    ScriptedPlatform scripted(std::string(reinterpret_cast<const char*>(data), size));
    scripted.ReplyAtPumpCall(1, {.transmitSeconds = Dec8th2026At071022});
    clsCheckTime check(scripted.platform, Endpoints{.ntsServer = ""});
    const std::string result = check.GetRealTime("ON");

    const bool isError = result.rfind("Error", 0) == 0;
    // Offsets of at most nine hours either way keep the date in December 2026.
    if (isError ? result != "Error: Retrieving Time" : result.find("/2026") == std::string::npos) {
        std::abort();
    }
    if (scripted.messageBox.Prompts().back() != "P9") {
        std::abort();
    }
    return 0;
}
