// The WinHTTP client against loopback_https_server processes on Linux, each
// answering as tests/platform/win32/CMakeLists.txt says. They are reached as
// localhost, since Wine's WinHTTP matches no IP address in a certificate,
// and their CAs are trusted through the Root store.
#include "platform/win32/WinHttpClient.h"

#include "platform/PlatformError.h"
#include "platform/win32/WinsockSession.h"
#include "tests/platform/win32/LoopbackHttpsServers.h"
#include "tests/platform/win32/LoopbackPeers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr long TenSeconds = 10000;
constexpr std::size_t OneMiB = 1024 * 1024;
const std::string SecretKey = "AIzaSecretKeyThatMustNeverBeShown";
const std::string ServicePath = "/maps/api/timezone/json";

std::string ServiceAddress(int port)
{
    return "https://localhost:" + std::to_string(port) + ServicePath + "?location=43.70011, -79.41630&key=" + SecretKey;
}

// What loopback_https_server sends for --body-size.
std::string PatternOfSize(std::size_t size)
{
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    return text;
}

std::unique_ptr<IHttpClient> NewClient(long idleMs)
{
    std::unique_ptr<IHttpClient> client = WinHttpClientFactory().CreateHttpClient("");
    client->setTimeouts(0, TenSeconds, idleMs, idleMs);
    return client;
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& row)
{
    return row.param.name;
}

TEST(WinHttpClient, RequestArrivesAsGivenAndTheAnswerComesBackAsSent)
{
    const TrustedServerCa trust(HttpsServerCaFile("answer"));
    const int port = HttpsServerPort("answer");
    const std::string address = ServiceAddress(port);
    const std::unique_ptr<IHttpClient> client = NewClient(TenSeconds);
    client->Open("POST", address, false);
    client->SetRequestHeader("Content-Type", "application/x-www-form-urlencoded");
    client->Send(address);
    EXPECT_THROW(client->Send(address), PlatformError) << "one request per object";

    EXPECT_EQ(client->responseText(),
              "{\"status\":\"OK\",\"timeZoneName\":\"heure normale de l\xE2\x80\x99"
              "Est\"}");
    const std::vector<LoggedRequest> requests = LoggedRequests("answer");
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].requestLine,
              "POST " + ServicePath + "?location=43.70011,%20-79.41630&key=" + SecretKey + " HTTP/1.1");
    EXPECT_EQ(requests[0].headers.at("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].headers.at("Host"), "localhost:" + std::to_string(port));
    EXPECT_EQ(requests[0].headers.at("Content-Length"), std::to_string(address.size()));
    EXPECT_EQ(requests[0].body, address);
}

struct AnswerCase {
    const char* name;
    const char* server;
    long idleMs;
    std::string body;
    double minSeconds; // how long the server takes to send it all
};

void PrintTo(const AnswerCase& row, std::ostream* out)
{
    *out << row.name;
}

class Answers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(Answers, AreReturnedWhole)
{
    const AnswerCase& answer = GetParam();
    const TrustedServerCa trust(HttpsServerCaFile(answer.server));
    const std::unique_ptr<IHttpClient> client = NewClient(answer.idleMs);
    client->Open("GET", ServiceAddress(HttpsServerPort(answer.server)), false);
    const auto start = std::chrono::steady_clock::now();
    client->Send("");
    EXPECT_GE(SecondsSince(start), answer.minSeconds);
    EXPECT_TRUE(client->responseText() == answer.body) << client->responseText().size() << " bytes";
    EXPECT_EQ(LoggedRequests(answer.server).size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(WinHttpClient, Answers,
                         ::testing::Values(AnswerCase{"RedirectIsNotFollowed", "redirect", TenSeconds, "moved", 0},
                                           AnswerCase{"ExactlyOneMiB", "one-mib", TenSeconds, PatternOfSize(OneMiB), 0},
                                           // Three seconds in all against a one-second idle limit: only silence counts.
                                           AnswerCase{"SteadyDripOutlastingTheIdleLimit", "steady-drip", 1000,
                                                      PatternOfSize(200), 2}),
                         CaseName<AnswerCase>);

struct FailureCase {
    const char* name;
    std::optional<const char*> server; // none: a closed port
    bool trusted;
    long idleMs;
    double minSeconds;
    double maxSeconds;
    const char* says;
    bool requestArrives;
};

void PrintTo(const FailureCase& row, std::ostream* out)
{
    *out << row.name;
}

class Failures : public ::testing::TestWithParam<FailureCase> {
protected:
    WinsockSession m_winsock;
};

TEST_P(Failures, AreReportedWithTheAddressButNotTheKey)
{
    const FailureCase& failure = GetParam();
    std::optional<TrustedServerCa> trust;
    if (failure.trusted) {
        trust.emplace(HttpsServerCaFile(*failure.server));
    }
    const int port = failure.server ? HttpsServerPort(*failure.server) : ClosedTcpPort();
    const std::unique_ptr<IHttpClient> client = NewClient(failure.idleMs);
    client->Open("POST", ServiceAddress(port), false);

    const auto start = std::chrono::steady_clock::now();
    std::string text = "(no failure)";
    try {
        client->Send("key=" + SecretKey);
    } catch (const PlatformError& error) {
        text = error.what();
    }
    const double seconds = SecondsSince(start);

    EXPECT_THAT(text,
                AllOf(HasSubstr("https://localhost:" + std::to_string(port) + ServicePath), HasSubstr(failure.says),
                      Not(HasSubstr(SecretKey))));
    EXPECT_GE(seconds, failure.minSeconds);
    EXPECT_LE(seconds, failure.maxSeconds);
    EXPECT_THROW(static_cast<void>(client->responseText()), PlatformError);
    if (failure.server) {
        EXPECT_EQ(LoggedRequests(*failure.server).size(), failure.requestArrives ? 1U : 0U);
    }
}

// Quick failures come well before the ten-second limits.
INSTANTIATE_TEST_SUITE_P(
    WinHttpClient, Failures,
    ::testing::Values(
        FailureCase{"ServerFromAnotherCa", "untrusted-ca", true, TenSeconds, 0, 5, "Could not send the request to",
                    false},
        FailureCase{"CertificateForAnotherHost", "other-host", true, TenSeconds, 0, 5, "Could not send the request to",
                    false},
        FailureCase{"CaNotInTheStore", "answer", false, TenSeconds, 0, 5, "Could not send the request to", false},
        FailureCase{"ClosedPort", std::nullopt, false, TenSeconds, 0, 5, "12029", false},
        FailureCase{"NeverAnswers", "never-answers", true, TenSeconds, 9, 15, "nothing was received for 10000 ms",
                    true},
        FailureCase{"DripSlowerThanTheIdleLimit", "slow-drip", true, 1000, 0.9, 3, "for 1000 ms", true},
        FailureCase{"OneByteOverOneMiB", "over-one-mib", true, TenSeconds, 0, 5, "longer than 1048576 bytes", true},
        FailureCase{"OneByteOverUntilClose", "over-one-mib-until-close", true, TenSeconds, 0, 5,
                    "longer than 1048576 bytes", true}),
    CaseName<FailureCase>);

class RefusedAddress : public ::testing::TestWithParam<std::string> {};

TEST_P(RefusedAddress, IsNotOpenedAndNotQuotedWithItsKey)
{
    const std::unique_ptr<IHttpClient> client = NewClient(TenSeconds);
    std::string text = "(no failure)";
    try {
        client->Open("POST", GetParam() + "?key=" + SecretKey, false);
    } catch (const PlatformError& error) {
        text = error.what();
    }
    EXPECT_THAT(text, AllOf(Not(HasSubstr("(no failure)")), Not(HasSubstr(SecretKey))));
    EXPECT_THROW(client->Send("body"), PlatformError);
}

INSTANTIATE_TEST_SUITE_P(WinHttpClient, RefusedAddress,
                         ::testing::Values("http://localhost/", "ftp://localhost/", "", "localhost/no-scheme",
                                           "https://", "https://localhost:0/", "https://localhost:65536/",
                                           "https://user@localhost/", "https://[::1/", "https://localhost/\r\nX: y",
                                           "https://localhost/caf\xC3\xA9"));

TEST(WinHttpClient, MisuseIsRefused)
{
    EXPECT_THROW(WinHttpClientFactory().CreateHttpClient("C:\\ca.pem"), PlatformError) << "only the system's store";
    const std::unique_ptr<IHttpClient> client = NewClient(TenSeconds);
    EXPECT_THROW(client->setTimeouts(0, -1, 0, 0), PlatformError);
    EXPECT_THROW(client->SetRequestHeader("Content-Type", "text/plain"), PlatformError);
    EXPECT_THROW(client->Send("body"), PlatformError);
    EXPECT_THROW(client->Open("POST", "https://localhost/", true), PlatformError);
    EXPECT_THROW(client->Open("BAD METHOD", "https://localhost/", false), PlatformError);
    client->Open("POST", "https://localhost/", false);
    EXPECT_THROW(client->SetRequestHeader("X-Tag", "a\r\nInjected: yes"), PlatformError);
    EXPECT_THROW(client->SetRequestHeader("X Tag", "a"), PlatformError);
    EXPECT_THROW(static_cast<void>(client->responseText()), PlatformError);
}

} // namespace
} // namespace chronavel
