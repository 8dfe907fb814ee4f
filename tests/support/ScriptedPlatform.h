#pragma once

#include "platform/Platform.h"
#include "platform/json/NlohmannJsonParser.h"
#include "tests/support/FakeUdpSocket.h"
#include "tests/support/FixedRandomSource.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedClock.h"
#include "tests/support/ScriptedHttpClient.h"
#include "tests/support/SntpReply.h"
#include "tests/support/UsEnglishDateFormatter.h"

#include <string>

namespace chronavel::testing {

// A platform on which a whole request runs without a network, a display or
// a clock of its own: boxes recorded, one scripted second per pump call, a
// socket that does what the test says, the time zone service's answer fixed.
struct ScriptedPlatform {
    explicit ScriptedPlatform(std::string timeZoneAnswer = UtcZoneResponse) : http(std::move(timeZoneAnswer)) {}
    ScriptedPlatform(const ScriptedPlatform&) = delete;
    ScriptedPlatform& operator=(const ScriptedPlatform&) = delete;

    // A server's reply to the request, echoing its nonce.
    Bytes ReplyTo(SntpReplyFields fields) const
    {
        fields.originate = random.value;
        return MakeSntpReply(fields);
    }

    // At the pump's given call the reply arrives, an instant after the request left.
    void ReplyAtPumpCall(int call, const SntpReplyFields& fields)
    {
        pump.onCall = [this, call, reply = ReplyTo(fields)](int n) {
            if (n == call) {
                sockets.socket->sentAt = monotonic.now;
                sockets.socket->receivedAt = monotonic.now;
                sockets.socket->received = reply;
                sockets.socket->events.DataArrival(static_cast<long>(reply.size()));
            }
        };
    }

    RecordingMessageBox messageBox;
    ScriptedClock clock;
    ScriptedMonotonicClock monotonic;
    SecondPerCallPump pump{clock, monotonic};
    FixedRandomSource random;
    FakeUdpSocketFactory sockets;
    ScriptedHttpClientFactory http;
    NlohmannJsonParserFactory json;
    UsEnglishDateFormatter dates;
    Platform platform{messageBox, pump, clock, monotonic, random, sockets, http, json, dates};
};

} // namespace chronavel::testing
