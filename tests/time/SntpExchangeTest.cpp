// A whole time request over real sockets against a loopback SNTP responder.
#include "time/clsCheckTime.h"

#include "tests/support/LoopbackSntpServer.h"
#include "tests/support/QtTestPlatform.h"
#include "tests/support/ScriptedHttpClient.h"
#include "time/LocalTime.h"

#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

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
        , withKeeper{platform.messageBox,
                     platform.eventPump,
                     platform.wallClock,
                     platform.monotonicClock,
                     platform.randomSource,
                     sockets,
                     http,
                     platform.jsonParsers,
                     platform.dateFormatter}
    {
    }

    std::string Request(int port, const std::string& host = "127.0.0.1")
    {
        check
            = std::make_unique<clsCheckTime>(withKeeper, Endpoints{.ntsServer = "", .ntpHost = host, .ntpPort = port});
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

TEST_F(SntpExchange, EachRequestCarriesAFreshNonce)
{
    AnswerWith({{MakeSntpReply({.transmitSeconds = Dec8th2026At071022})}});
    Request(server.port());
    Request(server.port());

    const std::vector<Bytes> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2U);
    std::vector<Bytes> nonces;
    for (const Bytes& request : requests) {
        ASSERT_EQ(request.size(), 48U);
        EXPECT_EQ(request[0], 0x1B);
        EXPECT_EQ(std::count(request.begin() + 1, request.begin() + 40, 0), 39);
        nonces.emplace_back(request.begin() + 40, request.end());
        EXPECT_NE(nonces.back(), Bytes(8, 0));
    }
    EXPECT_NE(nonces[0], nonces[1]);
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
        // Both show and send the second that has begun.
        TimeCase{"HalfSecond", Dec8th2026At071022, 0x80000000, "12/8/2026 7:10:22 AM", "1796713822"},
        TimeCase{"MostOfASecond", Dec8th2026At071022, 0xE0000000, "12/8/2026 7:10:22 AM", "1796713822"},
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

INSTANTIATE_TEST_SUITE_P(Replies, InvalidReplies,
                         ::testing::Values(InvalidCase{"Empty", {}}, InvalidCase{"Short", Bytes(47, 0x24)},
                                           InvalidCase{"ClientMode", Reply([](auto& f) { f.mode = 3; })},
                                           InvalidCase{"KissOfDeath", Reply([](auto& f) { f.stratum = 0; })},
                                           InvalidCase{"Stratum16", Reply([](auto& f) { f.stratum = 16; })},
                                           InvalidCase{"NotSynchronised", Reply([](auto& f) { f.leap = 3; })},
                                           InvalidCase{"ZeroTransmitTime", MakeSntpReply({})}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(SntpExchange, ReplyThatDoesNotEchoTheNonceIsNoAnswer)
{
    LoopbackSntpServer::Datagram replay{MakeSntpReply({.transmitSeconds = Dec8th2026At071022, .originate = 42})};
    replay.echoesRequest = false;
    AnswerWith({replay});

    EXPECT_EQ(Request(server.port()), "Error: Invalid Time Reply");
    EXPECT_THAT(Checkpoints(), ElementsAre("P1", "P2", "P3", "P4"));
    EXPECT_TRUE(http.requests.empty());
}

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

// Answers with this computer's clock, as a server whose time is right would,
// holding the request for a while before it answers.
LoopbackSntpServer::Script AnswerWithTheTimeNowAfter(std::chrono::milliseconds pause)
{
    const auto now = [] {
        return ToNtpTimestamp(std::chrono::time_point_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now()));
    };
    return [pause, now](const Bytes&) {
        const NtpTimestamp received = now();
        std::this_thread::sleep_for(pause);
        const NtpTimestamp transmitted = now();
        return std::vector<LoopbackSntpServer::Datagram>{{MakeSntpReply({.transmitSeconds = transmitted.seconds,
                                                                         .transmitFraction = transmitted.fraction,
                                                                         .receiveSeconds = received.seconds,
                                                                         .receiveFraction = received.fraction})}};
    };
}

TEST_F(SntpFailures, ReplyQueuedBehindAnotherRequestsBoxesStillCounts)
{
    using namespace std::chrono_literals;
    // The inner request (a second click) starts while the outer one waits. The
    // outer reply comes first and its "P4" box is read for 11 s, longer than
    // the inner wait; the inner reply arrives meanwhile.
    LoopbackSntpServer outerServer;
    outerServer.Answer(AnswerWithTheTimeNowAfter(200ms));
    server.Answer(AnswerWithTheTimeNowAfter(500ms));
    bool bOuterBoxRead = false;
    platform.messageBox.onShow = [&](const std::string& prompt) {
        if (prompt == "P4" && !bOuterBoxRead) {
            bOuterBoxRead = true;
            QTest::qWait(11000);
        }
    };
    const auto showsTheSecondCurrentNow = [this](const std::string& text) {
        const auto now = std::chrono::time_point_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now());
        const std::string thisSecond = platform.dateFormatter.FormatGeneralDate(LocalCivilTime(now, 0, 0));
        const std::string lastSecond
            = platform.dateFormatter.FormatGeneralDate(LocalCivilTime(now - std::chrono::seconds{1}, 0, 0));
        return text == thisSecond || text == lastSecond;
    };

    std::string innerResult;
    QTimer::singleShot(0, [&] {
        clsCheckTime inner(withKeeper, Endpoints{.ntsServer = "", .ntpHost = "127.0.0.1", .ntpPort = server.port()});
        innerResult = inner.GetRealTime("ON");
        EXPECT_PRED1(showsTheSecondCurrentNow, innerResult);
    });
    const std::string outerResult = Request(outerServer.port());

    EXPECT_TRUE(bOuterBoxRead);
    EXPECT_PRED1(showsTheSecondCurrentNow, outerResult);
    EXPECT_NE(innerResult, "Error: Timeout");
}

} // namespace
} // namespace chronavel
