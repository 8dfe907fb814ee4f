// The WinHTTP client against loopback_https_server processes on Linux, each
// answering as tests/platform/win32/CMakeLists.txt says: the contract every
// client keeps, then what is WinHTTP's own. The servers are reached as
// localhost, since Wine's WinHTTP matches no IP address in a certificate,
// and their CAs are trusted through the Root store.
#include "platform/win32/WinHttpClient.h"

#include "platform/win32/WinsockSession.h"
#include "tests/platform/HttpExchangeContract.h"
#include "tests/platform/win32/LoopbackHttpsServers.h"
#include "tests/platform/win32/LoopbackPeers.h"

#include <map>

namespace chronavel::testing {
namespace {

std::string ServerName(Server server)
{
    switch (server) {
    case Server::Answer:
        return "answer";
    case Server::Redirect:
        return "redirect";
    case Server::UntrustedCa:
        return "untrusted-ca";
    case Server::OtherHost:
        return "other-host";
    case Server::OneMib:
        return "one-mib";
    case Server::OverOneMib:
        return "over-one-mib";
    case Server::OverOneMibUntilClose:
        return "over-one-mib-until-close";
    case Server::SteadyDrip:
        return "steady-drip";
    case Server::NeverAnswers:
        return "never-answers";
    case Server::Closed:
        break;
    }
    return {};
}

class WinHttpHarness final : public HttpHarness {
public:
    std::unique_ptr<IHttpClient> NewClient(long receiveMs) override
    {
        std::unique_ptr<IHttpClient> client = WinHttpClientFactory().CreateHttpClient("");
        client->setTimeouts(0, 10000, 10000, receiveMs);
        return client;
    }

    std::string Origin(Server server) override
    {
        if (server == Server::Closed) {
            return "https://localhost:" + std::to_string(m_closedPort);
        }
        m_trusted.try_emplace(server, ServerName(server));
        return "https://localhost:" + std::to_string(HttpsServerPort(ServerName(server)));
    }

    std::vector<SeenRequest> Requests(Server server) override
    {
        std::vector<SeenRequest> seen;
        if (server != Server::Closed) {
            for (const LoggedRequest& request : LoggedRequests(ServerName(server))) {
                seen.push_back({request.requestLine, request.headers, request.body});
            }
        }
        return seen;
    }

private:
    WinsockSession m_winsock;
    int m_closedPort = ClosedTcpPort();
    std::map<Server, TrustedServerCa> m_trusted;
};

INSTANTIATE_TEST_SUITE_P(WinHttp, HttpExchange,
                         ::testing::Values(HttpHarnessMaker([] { return std::make_unique<WinHttpHarness>(); })));
INSTANTIATE_TEST_SUITE_P(WinHttp, HttpClientRules, ::testing::Values(HttpClientMaker([] {
                             return WinHttpClientFactory().CreateHttpClient("");
                         })));

TEST(WinHttpClient, RefusesACaFileForOnlyTheSystemsStoreIsTrusted)
{
    EXPECT_THROW(WinHttpClientFactory().CreateHttpClient("C:\\ca.pem"), PlatformError);
}

} // namespace
} // namespace chronavel::testing
