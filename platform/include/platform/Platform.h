#pragma once

#include "platform/DateFormatter.h"
#include "platform/EventPump.h"
#include "platform/HttpClient.h"
#include "platform/JsonParser.h"
#include "platform/MessageBox.h"
#include "platform/MonotonicClock.h"
#include "platform/RandomSource.h"
#include "platform/UdpSocket.h"
#include "platform/WallClock.h"

namespace chronavel {

// The services a request reaches the platform through. The referenced
// objects outlive every request made with them.
struct Platform {
    IMessageBox& messageBox;
    IEventPump& eventPump;
    IWallClock& wallClock;
    IMonotonicClock& monotonicClock;
    IRandomSource& randomSource;
    IUdpSocketFactory& udpSockets;
    IHttpClientFactory& httpClients;
    IJsonParserFactory& jsonParsers;
    IDateFormatter& dateFormatter;
};

} // namespace chronavel
