// The libcurl client against real TLS servers on 127.0.0.1: the contract
// every client keeps, then what is curl's own (trusting a CA file).
#include "platform/curl/CurlHttpClient.h"

#include "tests/platform/HttpExchangeContract.h"
#include "tests/support/LoopbackHttpsServer.h"
#include "tests/support/LoopbackTcpPort.h"
#include "tests/support/TestCertificate.h"

#include <map>
#include <optional>

namespace chronavel::testing {
namespace {

class CurlHarness final : public HttpHarness {
public:
    std::unique_ptr<IHttpClient> NewClient(long receiveMs) override
    {
        std::unique_ptr<IHttpClient> client = CurlHttpClientFactory().CreateHttpClient(m_certificates.caFile());
        client->setTimeouts(0, 10000, 10000, receiveMs);
        return client;
    }

    std::string Origin(Server server) override
    {
        const int port = server == Server::Closed ? m_closed.port() : Started(server).port();
        return "https://localhost:" + std::to_string(port);
    }

    std::vector<SeenRequest> Requests(Server server) override
    {
        std::vector<SeenRequest> seen;
        for (const RecordedRequest& request : Started(server).requests()) {
            seen.push_back({request.method + " " + request.target + " " + request.version,
                            {request.headers.begin(), request.headers.end()},
                            request.body});
        }
        return seen;
    }

private:
    LoopbackHttpsServer& Started(Server server)
    {
        std::optional<LoopbackHttpsServer>& slot = m_servers[server];
        if (slot) {
            return *slot;
        }
        slot.emplace(server == Server::UntrustedCa     ? m_certificates.serverFromUntrustedCa()
                         : server == Server::OtherHost ? m_certificates.serverForOtherHost()
                                                       : m_certificates.server());
        ScriptedResponse reply = ScriptedResponse::Ok(AnswerBody);
        if (server == Server::Redirect) {
            reply = ScriptedResponse::WithStatus("HTTP/1.1 302 Found", "moved");
            reply.headers.emplace_back("Location", "https://localhost:1/elsewhere");
        } else if (server == Server::OneMib || server == Server::OneMibUntilClose || server == Server::OverOneMib
                   || server == Server::OverOneMibUntilClose) {
            const bool over = server == Server::OverOneMib || server == Server::OverOneMibUntilClose;
            reply = ScriptedResponse::Ok(PatternOfSize(1024 * 1024 + (over ? 1 : 0)));
            reply.sendContentLength = server == Server::OneMib || server == Server::OverOneMib;
        } else if (server == Server::SteadyDrip) {
            reply = ScriptedResponse::Ok(PatternOfSize(200));
            reply.pieceBytes = 10;
            reply.pauseAfterPiece = std::chrono::milliseconds(150);
        } else if (server == Server::NeverAnswers) {
            reply = ScriptedResponse::NeverAnswer();
        }
        slot->respond(reply);
        return *slot;
    }

    TestCertificate m_certificates;
    RefusingTcpPort m_closed;
    std::map<Server, std::optional<LoopbackHttpsServer>> m_servers;
};

TEST(CurlHttpClient, TrustsOnlyTheCaFileItIsGiven)
{
    const TestCertificate certificates;
    LoopbackHttpsServer server(certificates);
    server.respond(ScriptedResponse::Ok("verified"));
    const std::string missing = certificates.directory() + "/no-such-ca.pem";
    for (const auto& [caFile, accepted] :
         {std::pair{certificates.caFile(), true}, std::pair{certificates.untrustedCaFile(), false},
          std::pair{std::string(), false}, std::pair{missing, false}}) {
        const std::unique_ptr<IHttpClient> client = CurlHttpClientFactory().CreateHttpClient(caFile);
        client->Open("POST", "https://127.0.0.1:" + std::to_string(server.port()) + "/", false);
        if (accepted) {
            client->Send("");
            EXPECT_EQ(client->responseText(), "verified");
        } else {
            EXPECT_THROW(client->Send(""), PlatformError) << caFile;
        }
    }
    EXPECT_EQ(server.requests().size(), 1U) << "nothing may be sent to an unverified server";
}

// curl would drop a header it is given as "Name:".
TEST(CurlHttpClient, EmptyHeaderValueArrivesEmpty)
{
    const TestCertificate certificates;
    LoopbackHttpsServer server(certificates);
    const std::unique_ptr<IHttpClient> client = CurlHttpClientFactory().CreateHttpClient(certificates.caFile());
    client->Open("POST", "https://127.0.0.1:" + std::to_string(server.port()) + "/", false);
    client->SetRequestHeader("X-Empty", "");
    client->Send("");
    ASSERT_EQ(server.requests().size(), 1U);
    EXPECT_EQ(server.requests()[0].headers.count("X-Empty"), 1U);
    EXPECT_EQ(server.requests()[0].headers.at("X-Empty"), "");
}

} // namespace

std::unique_ptr<IHttpClient> MakeRuledHttpClient()
{
    return CurlHttpClientFactory().CreateHttpClient("");
}

std::unique_ptr<HttpHarness> MakeHttpHarness()
{
    return std::make_unique<CurlHarness>();
}

} // namespace chronavel::testing
