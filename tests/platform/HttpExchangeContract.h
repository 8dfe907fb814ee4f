// One exchange with a loopback HTTPS server, run against each web client:
// INSTANTIATE_TEST_SUITE_P(Name, HttpExchange, Values(harness maker)).
#pragma once

#include "platform/HttpClient.h"
#include "platform/PlatformError.h"
#include "tests/platform/HttpClientRulesContract.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
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

using HttpHarnessMaker = std::function<std::unique_ptr<HttpHarness>()>;

inline std::string PatternOfSize(std::size_t size)
{
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    return text;
}

class HttpExchange : public ::testing::TestWithParam<HttpHarnessMaker> {
protected:
    static constexpr long TenSeconds = 10000;
    static constexpr const char* Target = "/maps/api/timezone/json?location=43.70011, -79.41630&timestamp=1&key=";

    std::string Address(Server server) { return m_harness->Origin(server) + Target + SecretKey; }

    // The failure text of a request that must fail.
    std::string FailureOf(Server server, long receiveMs)
    {
        const std::unique_ptr<IHttpClient> client = m_harness->NewClient(receiveMs);
        client->Open("POST", Address(server), false);
        std::string text = "(no failure)";
        try {
            client->Send("key=" + SecretKey);
        } catch (const PlatformError& error) {
            text = error.what();
        }
        EXPECT_THROW(static_cast<void>(client->responseText()), PlatformError);
        return text;
    }

    std::unique_ptr<HttpHarness> m_harness = GetParam()();
};

TEST_P(HttpExchange, RequestArrivesAsTheLookupMakesItAndTheAnswerComesBackWhole)
{
    const std::string address = Address(Server::Answer);
    const std::unique_ptr<IHttpClient> client = m_harness->NewClient(TenSeconds);
    client->Open("POST", address, false);
    client->SetRequestHeader("Content-Type", "application/x-www-form-urlencoded");
    client->Send(address);
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

TEST_P(HttpExchange, AnswersAreReturnedWholeWhateverTheirStatus)
{
    for (const auto& [server, body] :
         {std::pair{Server::Redirect, std::string("moved")}, std::pair{Server::OneMib, PatternOfSize(1024 * 1024)}}) {
        const std::unique_ptr<IHttpClient> client = m_harness->NewClient(TenSeconds);
        client->Open("POST", Address(server), false);
        client->Send("");
        EXPECT_TRUE(client->responseText() == body) << client->responseText().size() << " bytes";
        EXPECT_EQ(m_harness->Requests(server).size(), 1U);
    }
}

// Each fails long before the ten-second limits; a trickle is bounded as a whole.
TEST_P(HttpExchange, FailuresNameTheAddressButNotTheKey)
{
    struct Row {
        Server server;
        long receiveMs;
        std::size_t requestsArriving;
    };
    for (const Row& row : {Row{Server::UntrustedCa, TenSeconds, 0}, Row{Server::OtherHost, TenSeconds, 0},
                           Row{Server::Closed, TenSeconds, 0}, Row{Server::OverOneMib, TenSeconds, 1},
                           Row{Server::OverOneMibUntilClose, TenSeconds, 1}, Row{Server::SteadyDrip, 1000, 1},
                           Row{Server::NeverAnswers, 1000, 1}}) {
        const std::string text = FailureOf(row.server, row.receiveMs);
        EXPECT_THAT(text,
                    ::testing::AllOf(::testing::HasSubstr(m_harness->Origin(row.server) + "/maps/api/timezone/json"),
                                     ::testing::Not(::testing::HasSubstr(SecretKey))))
            << static_cast<int>(row.server);
        EXPECT_EQ(m_harness->Requests(row.server).size(), row.requestsArriving) << static_cast<int>(row.server);
    }
}

TEST_P(HttpExchange, MalformedHttpsAddressesFailWithoutQuotingTheKey)
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
                    ::testing::AllOf(::testing::Not("(no failure)"), ::testing::Not(::testing::HasSubstr(SecretKey))))
            << address;
    }
}

} // namespace chronavel::testing
