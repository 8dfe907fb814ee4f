#pragma once

#include "platform/AeadSiv.h"
#include "platform/DateFormatter.h"
#include "platform/EventPump.h"
#include "platform/HttpClient.h"
#include "platform/JsonParser.h"
#include "platform/MessageBox.h"
#include "platform/MonotonicClock.h"
#include "platform/RandomSource.h"
#include "platform/TlsKeyExchange.h"
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
    // Authenticated time's services; null in a composition that has none yet.
    ITlsKeyExchangeFactory* tlsKeyExchanges = nullptr;
    IAeadSiv* aeadSiv = nullptr;
};

} // namespace chronavel
