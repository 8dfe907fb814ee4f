#pragma once

#include "platform/Platform.h"
#include "platform/common/DeferredEvents.h"
#include "platform/common/SystemWallClock.h"
#include "platform/curl/CurlHttpClient.h"
#include "platform/json/NlohmannJsonParser.h"
#include "platform/linux/BootTimeClock.h"
#include "platform/linux/SystemRandomSource.h"
#include "platform/openssl/OpenSslAeadSiv.h"
#include "platform/openssl/OpenSslTlsKeyExchangeFactory.h"
#include "platform/qt/QtDateFormatter.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtUdpSocket.h"
#include "platform/qt/ShutdownWatch.h"
#include "tests/support/RecordingMessageBox.h"

namespace chronavel::testing {

// The program's own platform, but for message boxes that return at once and
// are recorded, and dates always in United States English.
struct QtTestPlatform {
    explicit QtTestPlatform(IHttpClientFactory* httpClients = nullptr);

    RecordingMessageBox messageBox;
    ShutdownWatch shutdown;
    DeferredEvents deferred;
    QtEventPump eventPump{deferred, shutdown};
    SystemWallClock wallClock;
    BootTimeClock monotonicClock;
    SystemRandomSource randomSource;
    QtUdpSocketFactory udpSockets{deferred, monotonicClock};
    CurlHttpClientFactory curlHttpClients;
    NlohmannJsonParserFactory jsonParsers;
    QtDateFormatter dateFormatter{QLocale(QLocale::English, QLocale::UnitedStates)};
    OpenSslTlsKeyExchangeFactory tlsKeyExchanges{deferred, PostToEventLoop};
    OpenSslAeadSiv aeadSiv;
    Platform platform;
};

} // namespace chronavel::testing
