#pragma once

#include "tests/support/ChronyServer.h"
#include "tests/support/LoopbackHttpsServer.h"
#include "tests/support/LoopbackSntpServer.h"
#include "time/Endpoints.h"

#include <string>

namespace chronavel::bench {

// A loopback NTP server and time zone service that always answer.
struct LoopbackServices {
    LoopbackServices();

    Endpoints endpoints() const;

    static constexpr const char* ZoneResponse = R"({"dstOffset":0,"rawOffset":-18000,"status":"OK"})";

    testing::TestCertificate certificates;
    testing::LoopbackHttpsServer https{certificates};
    testing::LoopbackSntpServer sntp;
};

// The same with chronyd serving NTP and NTS on loopback.
struct NtsServices : LoopbackServices {
    testing::ChronyServer chrony{testing::ChronyServer::Nts{certificates.server()}};

    Endpoints ntsEndpoints() const
    {
        Endpoints endpoints = LoopbackServices::endpoints();
        endpoints.ntsServer = "127.0.0.1:" + std::to_string(chrony.keyExchangePort());
        return endpoints;
    }
};

// The time zone request made bare: one HTTPS POST with libcurl directly.
bool HttpsPost(const Endpoints& endpoints);

} // namespace chronavel::bench
