// The time zone service answered in-process: the web service's answers, with
// the offsets of the system's zone database.
#include "platform/timezone/EmbeddedTimeZoneService.h"

#include "platform/PlatformError.h"
#include "platform/json/NlohmannJsonParser.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtTimeZoneDatabase.h"
#include "tests/platform/HttpClientRulesContract.h"
#include "tests/support/LoopbackSntpServer.h"
#include "tests/support/LoopbackTcpPort.h"
#include "tests/support/ScriptedPlatform.h"
#include "time/ProvinceLocations.h"
#include "time/TimeZoneRequest.h"
#include "time/clsCheckTime.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using ::testing::HasSubstr;

const std::string Service = "https://maps.googleapis.com/maps/api/timezone/json?";
const std::string Toronto = "location=43.70011,%20-79.41630";
constexpr std::int64_t March14th2027At0700 = 1805007600; // daylight saving time begins in Toronto

std::string At(std::int64_t unixSeconds)
{
    return "&timestamp=" + std::to_string(unixSeconds) + "&key=";
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
        EXPECT_EQ(answer.status, "OK");
        EXPECT_EQ(answer.timeZoneId, "America/Toronto");
        EXPECT_EQ(answer.rawOffset, row.raw) << row.unixSeconds;
        EXPECT_EQ(answer.dstOffset, row.dst) << row.unixSeconds;
        EXPECT_EQ(answer.timeZoneName, row.name) << row.unixSeconds;
    }
}

// Asked as the time lookup asks, at an instant whose rules are settled history.
TEST_F(EmbeddedService, EachProvincesLocationAnswersItsZonesOffsets)
{
    struct Row {
        const char* province;
        const char* zone;
        const char* raw;
        const char* dst;
    };
    const Row rows[] = {
        {"BC", "America/Vancouver", "-28800", "3600"}, {"AB", "America/Edmonton", "-25200", "3600"},
        {"SK", "America/Regina", "-21600", "0"},       {"MB", "America/Winnipeg", "-21600", "3600"},
        {"ON", "America/Toronto", "-18000", "3600"},   {"QC", "America/Toronto", "-18000", "3600"},
        {"NB", "America/Moncton", "-14400", "3600"},   {"NS", "America/Halifax", "-14400", "3600"},
        {"PE", "America/Halifax", "-14400", "3600"},   {"NL", "America/St_Johns", "-12600", "3600"},
        {"YT", "America/Whitehorse", "-25200", "0"},   {"NT", "America/Edmonton", "-25200", "3600"},
        {"NU", "America/Iqaluit", "-18000", "3600"},
    };
    const UtcTime july1st2025{std::chrono::seconds{1751371200}};
    for (const Row& row : rows) {
        const Answer answer
            = Ask(BuildTimeZoneAddress("maps.googleapis.com", FindProvinceLocation(row.province), july1st2025, ""));
        EXPECT_EQ(answer.timeZoneId, row.zone) << row.province;
        EXPECT_EQ(answer.rawOffset, row.raw) << row.province;
        EXPECT_EQ(answer.dstOffset, row.dst) << row.province;
    }
}

TEST_F(EmbeddedService, ReadsOnlyTheAddressTheLookupWrites)
{
    const std::string when = At(March14th2027At0700);
    const std::pair<std::string, const char*> rows[] = {
        {Service + Toronto + when, "OK"},
        {Service + "location=43.70011, -79.41630" + when, "OK"},
        {Service + "location=" + when, "ZERO_RESULTS"},
        {Service + "location=43.7001,-79.4163" + when, "INVALID_REQUEST"},
        {Service + "location=Toronto" + when, "INVALID_REQUEST"},
        {Service + "key=k&timestamp=1805007600&location=43.70011, -79.41630", "INVALID_REQUEST"},
        {Service + Toronto + "&timestamp=1805007600.5&key=", "INVALID_REQUEST"},
        {Service + Toronto + "&key=", "INVALID_REQUEST"},
        {Service + Toronto + when + "&extra=1", "INVALID_REQUEST"},
        {"https://maps.googleapis.com/maps/api/geocode/json?" + Toronto + when, "INVALID_REQUEST"},
        {"https:///maps/api/timezone/json?" + Toronto + when, "INVALID_REQUEST"},
        {Service + Toronto + "&timestamp=9223372036854775807&key=",
         "UNKNOWN_ERROR"}, // past what the database can place
    };
    for (const auto& [address, status] : rows) {
        const Answer answer = Ask(address);
        EXPECT_EQ(answer.status, status) << address;
        EXPECT_EQ(answer.timeZoneId, answer.status == "OK" ? "America/Toronto" : "") << address;
    }
}

TEST_F(EmbeddedService, ZeroResultsAndInvalidRequestEndTheRequestInTheRetrievalError)
{
    const std::pair<std::string, const char*> rows[]
        = {{"location=" + At(0), "ZERO_RESULTS"}, {Toronto + "&timestamp=soon&key=", "INVALID_REQUEST"}};
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
TEST(QtPlatformTimeZoneService, IsTheEmbeddedOneUnlessTheBuildHasAKey)
{
    const RefusingTcpPort refusing;
    const QtPlatform real;
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

namespace testing {

std::unique_ptr<IHttpClient> MakeRuledHttpClient()
{
    static const QtTimeZoneDatabase zones;
    return EmbeddedTimeZoneServiceFactory(zones).CreateHttpClient("");
}

} // namespace testing
} // namespace chronavel
