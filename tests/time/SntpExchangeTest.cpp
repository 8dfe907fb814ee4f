// A whole time request over real sockets against a loopback SNTP responder.
#include "time/clsCheckTime.h"

#include "tests/support/LoopbackSntpServer.h"
#include "tests/support/QtTestPlatform.h"
#include "tests/support/ScriptedHttpClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using ::testing::ElementsAre;
using ::testing::StartsWith;


// Keeps the socket a request makes, to look at after the request.
class SocketKeeper final : public IUdpSocketFactory {
public:
    explicit SocketKeeper(IUdpSocketFactory& inner) : m_inner(inner) {}
    std::unique_ptr<IUdpSocket> CreateSocket(IUdpSocketEvents& events) override
    {
        auto made = m_inner.CreateSocket(events);
        last = made.get();
        return made;
    }
    IUdpSocket* last = nullptr;

private:
    IUdpSocketFactory& m_inner;
};

class SntpExchange : public ::testing::Test {
protected:
    SntpExchange()
        : platform(&http)
        , sockets(platform.udpSockets)
        , withKeeper{platform.messageBox, platform.eventPump, platform.wallClock, platform.monotonicClock, sockets,
                     http, platform.jsonParsers, platform.dateFormatter}
    {
    }

    std::string Request(int port, const std::string& host = "127.0.0.1")
    {
        check = std::make_unique<clsCheckTime>(withKeeper, Endpoints{.ntpHost = host, .ntpPort = port});
        return check->GetRealTime("ON");
    }

    void AnswerWith(std::vector<LoopbackSntpServer::Datagram> replies)
    {
        server.Answer([replies](const Bytes&) { return replies; });
    }

    std::vector<std::string> Checkpoints() const { return platform.messageBox.Prompts(); }

    ScriptedHttpClientFactory http{UtcZoneResponse};
    QtTestPlatform platform;
    SocketKeeper sockets;
    Platform withKeeper;
    LoopbackSntpServer server;
    std::unique_ptr<clsCheckTime> check;
};

TEST_F(SntpExchange, SendsThe48ByteClientRequest)
{
    AnswerWith({{MakeSntpReply({.transmitSeconds = Dec8th2026At071022})}});
    Request(server.port());

    Bytes expected(48, 0);
    expected[0] = 0x1B;
    EXPECT_THAT(server.Requests(), ElementsAre(expected));
}

TEST_F(SntpExchange, ReplyIsDecodedAndHandedToTheLookup)
{
    AnswerWith({{MakeSntpReply({.transmitSeconds = Dec8th2026At071022})}});

    EXPECT_EQ(Request(server.port()), "12/8/2026 7:10:22 AM");
    EXPECT_EQ(Checkpoints(), AllCheckpoints);
    for (const auto& box : platform.messageBox.shown) {
        EXPECT_EQ(box.title, "") << "checkpoints carry the application's title";
    }
    ASSERT_EQ(http.requests.size(), 1U);
    EXPECT_THAT(http.requests[0].url, ::testing::HasSubstr("&timestamp=1796713822&"));
    EXPECT_EQ(sockets.last->State(), IUdpSocket::StateClosed);
}

struct TimeCase {
    const char* name;
    std::uint32_t seconds;
    std::uint32_t fraction;
    const char* shown;
    const char* timestamp;
};

class SntpReplyTimes : public SntpExchange, public ::testing::WithParamInterface<TimeCase> {};

TEST_P(SntpReplyTimes, ShowTheServersTime)
{
    const TimeCase& c = GetParam();
    AnswerWith({{MakeSntpReply({.transmitSeconds = c.seconds, .transmitFraction = c.fraction})}});

    EXPECT_EQ(Request(server.port()), c.shown);
    ASSERT_EQ(http.requests.size(), 1U);
    EXPECT_THAT(http.requests[0].url, ::testing::HasSubstr(std::string("&timestamp=") + c.timestamp + "&"));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SntpReplyTimes,
    ::testing::Values(
        // A half second is sent as whole seconds and shown rounded up.
        TimeCase{"HalfSecond", Dec8th2026At071022, 0x80000000, "12/8/2026 7:10:23 AM", "1796713822"},
        TimeCase{"JustUnderHalf", Dec8th2026At071022, 0x7FFFFFFF, "12/8/2026 7:10:22 AM", "1796713822"},
        TimeCase{"Era1", 0x00000100, 0, "2/7/2036 6:32:32 AM", "2085978752"},
        TimeCase{"Before1970", 0x80000000, 0, "1/20/1968 3:14:08 AM", "-61505152"}),
    [](const auto& param) { return std::string(param.param.name); });

struct InvalidCase {
    const char* name;
    Bytes datagram;
};

class InvalidReplies : public SntpExchange, public ::testing::WithParamInterface<InvalidCase> {};

TEST_P(InvalidReplies, AreReportedNotShownAsADate)
{
    AnswerWith({{GetParam().datagram}});

    EXPECT_EQ(Request(server.port()), "Error: Invalid Time Reply");
    EXPECT_THAT(Checkpoints(), ElementsAre("P1", "P2", "P3", "P4"));
    EXPECT_TRUE(http.requests.empty());
}

// A reply that is healthy but for one field.
Bytes Reply(void (*change)(SntpReplyFields&))
{
    SntpReplyFields fields{.transmitSeconds = Dec8th2026At071022};
    change(fields);
    return MakeSntpReply(fields);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, InvalidReplies,
    ::testing::Values(InvalidCase{"Empty", {}},
                      InvalidCase{"Short", Bytes(47, 0x24)},
                      InvalidCase{"ClientMode", Reply([](auto& f) { f.mode = 3; })},
                      InvalidCase{"KissOfDeath", Reply([](auto& f) { f.stratum = 0; })},
                      InvalidCase{"Stratum16", Reply([](auto& f) { f.stratum = 16; })},
                      InvalidCase{"NotSynchronised", Reply([](auto& f) { f.leap = 3; })},
                      InvalidCase{"ZeroTransmitTime", MakeSntpReply({})}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(SntpExchange, OversizeDatagramUsesItsFirst48Bytes)
{
    Bytes oversize = MakeSntpReply({.transmitSeconds = Dec8th2026At071022});
    oversize.resize(120, 0xFF);
    AnswerWith({{oversize}});

    EXPECT_EQ(Request(server.port()), "12/8/2026 7:10:22 AM");
}

TEST_F(SntpExchange, DatagramFromAnotherPortIsIgnored)
{
    const Bytes stranger = MakeSntpReply({.transmitSeconds = 0x80000000});
    const Bytes genuine = MakeSntpReply({.transmitSeconds = Dec8th2026At071022});
    AnswerWith({{stranger, true}, {genuine, false}});

    EXPECT_EQ(Request(server.port()), "12/8/2026 7:10:22 AM");
    EXPECT_EQ(Checkpoints(), AllCheckpoints);
}

TEST_F(SntpExchange, SecondDatagramAfterTheReplyIsNotHandled)
{
    const Bytes reply = MakeSntpReply({.transmitSeconds = Dec8th2026At071022});
    AnswerWith({{reply}, {reply}});

    EXPECT_EQ(Request(server.port()), "12/8/2026 7:10:22 AM");
    EXPECT_EQ(http.requests.size(), 1U);
}

class SntpFailures : public SntpExchange {
protected:
    // Time taken by one request, in seconds.
    double TimedRequest(int port, const std::string& host, std::string& result)
    {
        const auto start = std::chrono::steady_clock::now();
        result = Request(port, host);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

TEST_F(SntpFailures, SilentServerTimesOutAfterTenSecondsOfWallClock)
{
    std::string result;
    const double waited = TimedRequest(server.port(), "127.0.0.1", result);

    EXPECT_EQ(result, "Error: Timeout");
    EXPECT_GE(waited, 9.0);
    EXPECT_LE(waited, 10.5);
    EXPECT_THAT(Checkpoints(), ElementsAre("P1", "P2", "P3"));
    EXPECT_EQ(sockets.last->State(), IUdpSocket::StateClosed);
    EXPECT_EQ(server.Requests().size(), 1U);
}

TEST_F(SntpFailures, ClosedPortIsReportedAtOnce)
{
    std::string result;
    const double waited = TimedRequest(ClosedUdpPort(), "127.0.0.1", result);

    EXPECT_EQ(result, "Error: Connection refused");
    EXPECT_LT(waited, 5.0);
    EXPECT_THAT(Checkpoints(), ElementsAre("P1", "P2", "P3"));
    EXPECT_TRUE(http.requests.empty());
}

TEST_F(SntpFailures, HostNameThatCannotBeResolvedIsReportedAtOnce)
{
    // A label longer than 63 characters is no host name, so the lookup fails
    // here without asking any name server.
    const std::string unresolvable = std::string(64, 'x') + ".invalid";
    std::string result;
    const double waited = TimedRequest(123, unresolvable, result);

    EXPECT_THAT(result, StartsWith("Error: "));
    EXPECT_NE(result, "Error: Timeout");
    EXPECT_GT(result.size(), std::string("Error: ").size());
    EXPECT_LT(waited, 5.0);
    EXPECT_THAT(Checkpoints(), ElementsAre("P1", "P2", "P3"));
}

} // namespace
} // namespace chronavel
