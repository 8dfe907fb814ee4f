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
#include <optional>

namespace chronavel::testing {
namespace {

// Closed has none: nothing listens there.
std::string ServerName(Server server)
{
    static const std::map<Server, std::string> names{
        {Server::Answer, "answer"},
        {Server::Redirect, "redirect"},
        {Server::UntrustedCa, "untrusted-ca"},
        {Server::OtherHost, "other-host"},
        {Server::OneMib, "one-mib"},
        {Server::OverOneMib, "over-one-mib"},
        {Server::OneMibUntilClose, "one-mib-until-close"},
        {Server::OverOneMibUntilClose, "over-one-mib-until-close"},
        {Server::SteadyDrip, "steady-drip"},
        {Server::NeverAnswers, "never-answers"},
    };
    return names.at(server);
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
        // One CA at a time: the servers' CAs share a name, and Wine would take the wrong one.
        if (server != m_trustedServer) {
            m_trusted.reset();
            m_trusted.emplace(HttpsServerCaFile(ServerName(server)), L"Root");
            m_trustedServer = server;
        }
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
    std::optional<CaInUserStore> m_trusted;
    Server m_trustedServer = Server::Closed;
};

TEST(WinHttpClient, RefusesACaFileForOnlyTheSystemsStoreIsTrusted)
{
    EXPECT_THROW(WinHttpClientFactory().CreateHttpClient("C:\\ca.pem"), PlatformError);
}

} // namespace

std::unique_ptr<IHttpClient> MakeRuledHttpClient()
{
    return WinHttpClientFactory().CreateHttpClient("");
}

std::unique_ptr<HttpHarness> MakeHttpHarness()
{
    return std::make_unique<WinHttpHarness>();
}

} // namespace chronavel::testing
