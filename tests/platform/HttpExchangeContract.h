// One exchange with a loopback HTTPS server, run against the web client of
// each test executable that includes this and defines MakeHttpHarness. Each
// server is tried in a test of its own: under Wine a process trusts one CA.
#pragma once

#include "platform/HttpClient.h"
#include "platform/PlatformError.h"
#include "tests/platform/HttpClientRulesContract.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace chronavel::testing {

// How each server answers every request.
enum class Server {
    Answer,               // 200, a JSON body with a non-ASCII character
    Redirect,             // 302 to another port, body "moved"
    UntrustedCa,          // a certificate from a CA the client does not trust
    OtherHost,            // a certificate for another host
    Closed,               // nothing listens
    OneMib,               // PatternOfSize(1 MiB)
    OneMibUntilClose,     // the same, ending with the connection
    OverOneMib,           // one byte more, with Content-Length
    OverOneMibUntilClose, // one byte more, ending with the connection
    SteadyDrip,           // PatternOfSize(200) in pieces of 10 bytes every 150 ms
    NeverAnswers,         // reads the request and says nothing
};

inline const std::string AnswerBody = "{\"status\":\"OK\",\"timeZoneName\":\"heure normale de l\xE2\x80\x99"
                                      "Est\"}";

struct SeenRequest {
    std::string requestLine; // METHOD TARGET VERSION
    std::map<std::string, std::string> headers;
    std::string body;
};

// A client and the servers it is tried against.
class HttpHarness {
public:
    virtual ~HttpHarness() = default;
    // With the time lookup's limits but for receiving.
    virtual std::unique_ptr<IHttpClient> NewClient(long receiveMs) = 0;
    // "https://localhost:PORT" of a server answering so, whose CA the client trusts.
    virtual std::string Origin(Server server) = 0;
    virtual std::vector<SeenRequest> Requests(Server server) = 0;
};

std::unique_ptr<HttpHarness> MakeHttpHarness();

inline std::string PatternOfSize(std::size_t size)
{
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    return text;
}

inline constexpr long TenSeconds = 10000;

class HttpExchange : public ::testing::Test {
protected:
    static constexpr const char* Target = "/maps/api/timezone/json?location=43.70011, -79.41630&timestamp=1&key=";

    std::string Address(Server server) { return m_harness->Origin(server) + Target + SecretKey; }

    std::unique_ptr<HttpHarness> m_harness = MakeHttpHarness();
};

TEST_F(HttpExchange, RequestArrivesAsTheLookupMakesItAndTheAnswerComesBackWhole)
{
    const std::string address = Address(Server::Answer);
    const std::unique_ptr<IHttpClient> client = m_harness->NewClient(TenSeconds);
    client->Open("POST", address, false);
    client->SetRequestHeader("Content-Type", "application/x-www-form-urlencoded");
    client->Send(address);
    EXPECT_THROW(client->Send(address), PlatformError) << "one request per object";
    EXPECT_EQ(client->responseText(), AnswerBody);

    const std::vector<SeenRequest> requests = m_harness->Requests(Server::Answer);
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].requestLine,
              "POST /maps/api/timezone/json?location=43.70011,%20-79.41630&timestamp=1&key=" + SecretKey + " HTTP/1.1");
    EXPECT_EQ(requests[0].headers.at("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ("https://" + requests[0].headers.at("Host"), m_harness->Origin(Server::Answer));
    EXPECT_EQ(requests[0].headers.at("Content-Length"), std::to_string(address.size()));
    EXPECT_EQ(requests[0].body, address);
}

TEST_F(HttpExchange, MalformedHttpsAddressesFailWithoutQuotingTheKey)
{
    for (const std::string address : {"https://", "https://[::1/", "https://localhost:99999/"}) {
        const std::unique_ptr<IHttpClient> client = m_harness->NewClient(TenSeconds);
        std::string failure = "(no failure)";
        try {
            client->Open("POST", address + "?key=" + SecretKey, false);
            client->Send("");
        } catch (const PlatformError& error) {
            failure = error.what();
        }
        EXPECT_THAT(failure,
                    ::testing::AllOf(::testing::Ne("(no failure)"), ::testing::Not(::testing::HasSubstr(SecretKey))))
            << address;
    }
}

struct ExchangeCase {
    const char* name;
    Server server;
    long receiveMs;
    std::optional<std::string> answer; // none: the request fails
    std::size_t requestsArriving;
};

inline void PrintTo(const ExchangeCase& row, std::ostream* out)
{
    *out << row.name;
}

class HttpExchangeCases : public HttpExchange, public ::testing::WithParamInterface<ExchangeCase> {};

// Failures name the address, never its key.
TEST_P(HttpExchangeCases, AnswerIsReturnedWholeOrTheRequestFails)
{
    const ExchangeCase& row = GetParam();
    const std::unique_ptr<IHttpClient> client = m_harness->NewClient(row.receiveMs);
    client->Open("POST", Address(row.server), false);
    if (row.answer) {
        client->Send("");
        EXPECT_TRUE(client->responseText() == *row.answer) << client->responseText().size() << " bytes";
    } else {
        std::string text = "(no failure)";
        try {
            client->Send("key=" + SecretKey);
        } catch (const PlatformError& error) {
            text = error.what();
        }
        EXPECT_THAT(text,
                    ::testing::AllOf(::testing::HasSubstr(m_harness->Origin(row.server) + "/maps/api/timezone/json"),
                                     ::testing::Not(::testing::HasSubstr(SecretKey))));
        EXPECT_THROW(static_cast<void>(client->responseText()), PlatformError);
    }
    EXPECT_EQ(m_harness->Requests(row.server).size(), row.requestsArriving);
}

// Each failure comes long before the ten-second limits; a trickle is bounded as a whole.
INSTANTIATE_TEST_SUITE_P(
    Contract, HttpExchangeCases,
    ::testing::Values(ExchangeCase{"RedirectIsNotFollowed", Server::Redirect, TenSeconds, "moved", 1},
                      ExchangeCase{"ExactlyOneMiB", Server::OneMib, TenSeconds, PatternOfSize(1024 * 1024), 1},
                      ExchangeCase{"ExactlyOneMiBUntilClose", Server::OneMibUntilClose, TenSeconds,
                                   PatternOfSize(1024 * 1024), 1},
                      ExchangeCase{"ServerFromAnotherCa", Server::UntrustedCa, TenSeconds, std::nullopt, 0},
                      ExchangeCase{"CertificateForAnotherHost", Server::OtherHost, TenSeconds, std::nullopt, 0},
                      ExchangeCase{"ClosedPort", Server::Closed, TenSeconds, std::nullopt, 0},
                      ExchangeCase{"OneByteOverOneMiB", Server::OverOneMib, TenSeconds, std::nullopt, 1},
                      ExchangeCase{"OneByteOverUntilClose", Server::OverOneMibUntilClose, TenSeconds, std::nullopt, 1},
                      ExchangeCase{"TrickleOutlastingTheReceiveLimit", Server::SteadyDrip, 1000, std::nullopt, 1},
                      ExchangeCase{"NeverAnswers", Server::NeverAnswers, 1000, std::nullopt, 1}),
    [](const ::testing::TestParamInfo<ExchangeCase>& row) { return std::string(row.param.name); });

} // namespace chronavel::testing
