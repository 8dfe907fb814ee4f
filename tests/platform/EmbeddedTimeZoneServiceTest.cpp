// The time zone service answered in-process: the web service's answers, with
// the offsets of the system's zone database.
#include "platform/timezone/EmbeddedTimeZoneService.h"

#include "platform/PlatformError.h"
#include "platform/json/NlohmannJsonParser.h"
#include "platform/qt/QtTimeZoneDatabase.h"
#include "platform/qt/RealPlatform.h"
#include "tests/support/LoopbackSntpServer.h"
#include "tests/support/RefusingTcpPort.h"
#include "tests/support/ScriptedPlatform.h"
#include "time/ProvinceLocations.h"
#include "time/TimeZoneRequest.h"
#include "time/clsCheckTime.h"

#include <QDateTime>
#include <QTimeZone>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using ::testing::HasSubstr;

const std::string Service = "https://maps.googleapis.com/maps/api/timezone/json?";
const std::string Toronto = "location=43.70011,%20-79.41630";
constexpr std::int64_t March14th2027At0700 = 1805007600; // daylight saving time begins in Toronto
constexpr std::int64_t July1st2027At1200 = 1814443200;

std::string At(std::int64_t unixSeconds)
{
    return "&timestamp=" + std::to_string(unixSeconds) + "&key=";
}

// What QTimeZone itself says, to hold the answers against.
QTimeZone::OffsetData QtSays(const char* zone, std::int64_t unixSeconds)
{
    return QTimeZone(zone).offsetData(QDateTime::fromSecsSinceEpoch(unixSeconds, Qt::UTC));
}

struct Answer {
    std::string status, dstOffset, rawOffset, timeZoneId, timeZoneName;
};

class EmbeddedService : public ::testing::Test {
protected:
    // Asked as the request asks the web service, read back with the program's reader.
    std::string AnswerText(const std::string& address)
    {
        const std::unique_ptr<IHttpClient> client = service.CreateHttpClient("");
        client->Open("POST", address, false);
        client->SetRequestHeader("Content-Type", "application/x-www-form-urlencoded");
        client->Send(address);
        return client->responseText();
    }

    Answer Ask(const std::string& address)
    {
        NlohmannJsonParser json;
        EXPECT_EQ(json.Parse(AnswerText(address)), 1);
        return {json.GetValue("status"), json.GetValue("dstOffset"), json.GetValue("rawOffset"),
                json.GetValue("timeZoneId"), json.GetValue("timeZoneName")};
    }

    QtTimeZoneDatabase zones;
    EmbeddedTimeZoneServiceFactory service{zones};
};

TEST_F(EmbeddedService, TorontoAtThe2027ChangeoversHasTheZoneDatabasesOffsets)
{
    struct Row {
        std::int64_t unixSeconds;
        const char* raw;
        const char* dst;
        const char* name;
    };
    for (const Row& row : {Row{March14th2027At0700 - 1, "-18000", "0", "Eastern Standard Time"},
                           Row{March14th2027At0700, "-18000", "3600", "Eastern Daylight Time"},
                           Row{1825567200 - 1, "-18000", "3600", "Eastern Daylight Time"}, // 2027-11-07 06:00 UTC
                           Row{1825567200, "-18000", "0", "Eastern Standard Time"}}) {
        const Answer answer = Ask(Service + Toronto + At(row.unixSeconds));
        const QTimeZone::OffsetData qt = QtSays("America/Toronto", row.unixSeconds);
        EXPECT_EQ(answer.status, "OK");
        EXPECT_EQ(answer.timeZoneId, "America/Toronto");
        EXPECT_EQ(answer.rawOffset, row.raw) << row.unixSeconds;
        EXPECT_EQ(answer.dstOffset, row.dst) << row.unixSeconds;
        EXPECT_EQ(answer.rawOffset, std::to_string(qt.standardTimeOffset)) << row.unixSeconds;
        EXPECT_EQ(answer.dstOffset, std::to_string(qt.daylightTimeOffset)) << row.unixSeconds;
        EXPECT_EQ(answer.timeZoneName, row.name) << row.unixSeconds;
    }
}

TEST_F(EmbeddedService, EachProvincesLocationAnswersItsZone)
{
    const std::pair<const char*, const char*> provinces[] = {
        {"BC", "America/Vancouver"}, {"AB", "America/Edmonton"},   {"SK", "America/Regina"},
        {"MB", "America/Winnipeg"},  {"ON", "America/Toronto"},    {"QC", "America/Toronto"},
        {"NB", "America/Moncton"},   {"NS", "America/Halifax"},    {"PE", "America/Halifax"},
        {"NL", "America/St_Johns"},  {"YT", "America/Whitehorse"}, {"NT", "America/Edmonton"},
        {"NU", "America/Iqaluit"},
    };
    const UtcTime summer{std::chrono::seconds{July1st2027At1200}};
    for (const auto& [province, zone] : provinces) {
        const Answer answer
            = Ask(BuildTimeZoneAddress("maps.googleapis.com", FindProvinceLocation(province), summer, ""));
        const QTimeZone::OffsetData qt = QtSays(zone, July1st2027At1200);
        EXPECT_EQ(answer.timeZoneId, zone) << province;
        EXPECT_EQ(answer.rawOffset, std::to_string(qt.standardTimeOffset)) << province;
        EXPECT_EQ(answer.dstOffset, std::to_string(qt.daylightTimeOffset)) << province;
    }
}

TEST_F(EmbeddedService, ReadsTheLocationAsNumbersAndRefusesWhatItCannotRead)
{
    const std::string when = At(March14th2027At0700);
    const std::pair<std::string, const char*> rows[] = {
        {"location=43.7001,-79.4163" + when, "OK"},
        {"key=k&timestamp=1805007600&location=43.70011, -79.41630", "OK"},
        {"location=43.72,%20-79.41630" + when, "ZERO_RESULTS"}, // two kilometres north
        {"location=" + when, "ZERO_RESULTS"},
        {"location=Toronto" + when, "INVALID_REQUEST"},
        {"location=91,%20-79.41630" + when, "INVALID_REQUEST"},
        {"location=43.70011,-79.41630,5" + when, "INVALID_REQUEST"},
        {"location=43.70011,%2-79.41630" + when, "INVALID_REQUEST"},
        {when.substr(1), "INVALID_REQUEST"},
        {Toronto + "&timestamp=1805007600.5", "INVALID_REQUEST"},
        {Toronto + "&key=", "INVALID_REQUEST"},
        {Toronto + "&timestamp=9223372036854775807", "UNKNOWN_ERROR"}, // past what the database can place
    };
    for (const auto& [query, status] : rows) {
        const Answer answer = Ask(Service + query);
        EXPECT_EQ(answer.status, status) << query;
        EXPECT_EQ(answer.timeZoneId, answer.status == "OK" ? "America/Toronto" : "") << query;
    }
}

TEST_F(EmbeddedService, RefusesWhatTheWebServicesClientRefuses)
{
    const std::string address = Service + Toronto + At(March14th2027At0700);
    const std::unique_ptr<IHttpClient> client = service.CreateHttpClient("");
    EXPECT_THROW(client->Open("POST", address, true), PlatformError);
    EXPECT_THROW(client->Open("POST", "http://maps.googleapis.com/maps/api/timezone/json?" + Toronto, false),
                 PlatformError);
    EXPECT_THROW(client->Open("POST", "https://maps.googleapis.com/maps/api/geocode/json?" + Toronto, false),
                 PlatformError);
    EXPECT_THROW(client->Send(address), PlatformError);
    EXPECT_THROW(static_cast<void>(client->responseText()), PlatformError);

    client->Open("POST", address, false);
    client->Send(address);
    EXPECT_THROW(client->Send(address), PlatformError);
    EXPECT_THAT(client->responseText(), HasSubstr(R"("status":"OK")"));
}

TEST_F(EmbeddedService, ZeroResultsAndInvalidRequestEndTheRequestInTheRetrievalError)
{
    const std::pair<std::string, const char*> rows[]
        = {{"location=0,0" + At(0), "ZERO_RESULTS"}, {Toronto + "&timestamp=soon", "INVALID_REQUEST"}};
    for (const auto& [query, status] : rows) {
        ASSERT_EQ(Ask(Service + query).status, status);
        ScriptedPlatform scripted(AnswerText(Service + query));
        scripted.ReplyAtPumpCall(1, {.transmitSeconds = Dec8th2026At071022});

        EXPECT_EQ(clsCheckTime(scripted.platform, Endpoints{.ntsServer = ""}).GetRealTime("ON"),
                  "Error: Retrieving Time")
            << query;
        EXPECT_EQ(scripted.messageBox.Prompts(), AllCheckpoints) << query;
    }
}

// Nothing listens at the address's port, so only the embedded service can answer there.
TEST(RealPlatformTimeZoneService, IsTheEmbeddedOneUnlessTheBuildHasAKey)
{
    const RefusingTcpPort refusing;
    const RealPlatform real;
    const std::unique_ptr<IHttpClient> client = real.platform().httpClients.CreateHttpClient("");
    client->Open("POST",
                 "https://127.0.0.1:" + std::to_string(refusing.port()) + "/maps/api/timezone/json?" + Toronto
                     + At(March14th2027At0700),
                 false);
#if CHRONAVEL_EMBEDDED_TIME_ZONE_SERVICE
    client->Send("");
    EXPECT_THAT(client->responseText(), HasSubstr(R"("timeZoneId":"America/Toronto")"));
#else
    EXPECT_THROW(client->Send(""), PlatformError);
#endif
}

} // namespace
} // namespace chronavel
