#include "bench/LoopbackServices.h"

namespace chronavel::bench {

LoopbackServices::LoopbackServices()
{
    https.respond(testing::ScriptedResponse::Ok(ZoneResponse));
    sntp.Answer([](const testing::Bytes&) {
        return std::vector<testing::LoopbackSntpServer::Datagram>{
            {testing::MakeSntpReply({.transmitSeconds = testing::Dec8th2026At071022})}};
    });
}

Endpoints LoopbackServices::endpoints() const
{
    return Endpoints{.ntsServer = "",
                     .ntpHost = "127.0.0.1",
                     .ntpPort = sntp.port(),
                     .timeZoneServiceHost = "127.0.0.1:" + std::to_string(https.port()),
                     .timeZoneApiKey = "benchmark",
                     .trustedCaFile = certificates.caFile()};
}

} // namespace chronavel::bench
