// Any response body from the time zone service, through the whole lookup:
// the request ends in a date text or in the retrieval error, never worse.
#include "time/clsCheckTime.h"

#include "platform/json/NlohmannJsonParser.h"
#include "platform/qt/QtDateFormatter.h"
#include "tests/support/FakeUdpSocket.h"
#include "tests/support/FixedRandomSource.h"
#include "tests/support/LoopbackSntpServer.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedClock.h"
#include "tests/support/ScriptedHttpClient.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace chronavel;
    using namespace chronavel::testing;

    RecordingMessageBox messageBox;
    ScriptedClock clock;
    ScriptedMonotonicClock monotonic;
    FixedRandomSource random;
    SecondPerCallPump pump(clock, monotonic);
    FakeUdpSocketFactory sockets;
    ScriptedHttpClientFactory http(std::string(reinterpret_cast<const char*>(data), size));
    NlohmannJsonParserFactory json;
    QtDateFormatter dates(QLocale(QLocale::English, QLocale::UnitedStates));
    const Platform platform{messageBox, pump, clock, monotonic, random, sockets, http, json, dates};

    pump.onCall = [&sockets, &random](int) {
        sockets.socket->received = MakeSntpReply({.transmitSeconds = Dec8th2026At071022, .originate = random.value});
        sockets.socket->events.DataArrival(48);
    };
    clsCheckTime check(platform);
    const std::string result = check.GetRealTime("ON");

    const bool isError = result.rfind("Error", 0) == 0;
    // Offsets of at most nine hours either way keep the date in December 2026.
    if (isError ? result != "Error: Retrieving Time" : result.find("/2026") == std::string::npos) {
        std::abort();
    }
    if (messageBox.Prompts().back() != "P9") {
        std::abort();
    }
    return 0;
}
