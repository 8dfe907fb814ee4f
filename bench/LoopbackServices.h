#pragma once

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

// The time zone request made bare: one HTTPS POST with libcurl directly.
bool HttpsPost(const Endpoints& endpoints);

} // namespace chronavel::bench
