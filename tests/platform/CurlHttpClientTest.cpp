// The libcurl client against a real TLS server on 127.0.0.1.
#include "platform/curl/CurlHttpClient.h"

#include "platform/PlatformError.h"
#include "tests/support/LoopbackHttpsServer.h"
#include "tests/support/RefusingTcpPort.h"
#include "tests/support/TestCertificate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace chronavel {
namespace {

namespace support = chronavel::testing;
using support::LoopbackHttpsServer;
using support::RecordedRequest;
using support::ScriptedResponse;
using support::TestCertificate;

// What the time lookup asks for.
constexpr long TenSeconds = 10000;
constexpr std::size_t OneMiB = 1024 * 1024;

std::string Address(const std::string& host, int port, const std::string& target)
{
    return "https://" + host + ":" + std::to_string(port) + target;
}

std::string Loopback(int port, const std::string& target)
{
    return Address("127.0.0.1", port, target);
}

std::string PatternOfSize(std::size_t size)
{
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    return text;
}

// Names each table row after its case.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& row)
{
    return row.param.name;
}

class CurlHttpClientTest : public ::testing::Test {
protected:
    std::unique_ptr<IHttpClient> NewClient(const std::string& trustedCaFile)
    {
        std::unique_ptr<IHttpClient> client = m_factory.CreateHttpClient(trustedCaFile);
        client->setTimeouts(0, TenSeconds, TenSeconds, TenSeconds);
        return client;
    }
    std::unique_ptr<IHttpClient> NewClient() { return NewClient(m_certificates.caFile()); }

    // Sends a POST with the body given and returns the response.
    std::string Post(const std::string& target, const std::string& body)
    {
        const std::unique_ptr<IHttpClient> client = NewClient();
        client->Open("POST", Loopback(m_server.port(), target), false);
        client->Send(body);
        return client->responseText();
    }

    TestCertificate m_certificates;
    LoopbackHttpsServer m_server{m_certificates};
    CurlHttpClientFactory m_factory;
};

// --- What arrives at the server ---------------------------------------------

TEST_F(CurlHttpClientTest, TimeZoneLookupArrivesWithSpaceEncodedInTargetOnlyAndBodyUnencoded)
{
    const std::string address = Loopback(
        m_server.port(), "/maps/api/timezone/json?location=43.70011, -79.41630&timestamp=1700000000&key=k3y");
    const std::unique_ptr<IHttpClient> client = NewClient();
    client->Open("POST", address, false);
    client->SetRequestHeader("Content-Type", "application/x-www-form-urlencoded");
    client->Send(address);

    const std::vector<RecordedRequest> requests = m_server.requests();
    ASSERT_EQ(1u, requests.size());
    const RecordedRequest& request = requests.front();
    EXPECT_EQ("POST", request.method);
    EXPECT_EQ("/maps/api/timezone/json?location=43.70011,%20-79.41630&timestamp=1700000000&key=k3y", request.target);
    EXPECT_EQ("HTTP/1.1", request.version);
    EXPECT_EQ("application/x-www-form-urlencoded", request.headers.at("Content-Type"));
    EXPECT_EQ("127.0.0.1:" + std::to_string(m_server.port()), request.headers.at("Host"));
    EXPECT_EQ(std::to_string(address.size()), request.headers.at("Content-Length"));
    EXPECT_EQ(address, request.body);
}

TEST_F(CurlHttpClientTest, HeadersSetByTheCallerArriveAsSet)
{
    const std::unique_ptr<IHttpClient> client = NewClient();
    client->Open("POST", Loopback(m_server.port(), "/"), false);
    client->SetRequestHeader("Content-Type", "application/x-www-form-urlencoded");
    client->SetRequestHeader("X-Chronavel-Probe", "one, two  three");
    client->SetRequestHeader("X-Empty", "");
    client->Send("x");

    const std::vector<RecordedRequest> requests = m_server.requests();
    ASSERT_EQ(1u, requests.size());
    const auto& headers = requests.front().headers;
    EXPECT_EQ("application/x-www-form-urlencoded", headers.at("content-type"));
    EXPECT_EQ("one, two  three", headers.at("X-Chronavel-Probe"));
    ASSERT_EQ(1u, headers.count("X-Empty"));
    EXPECT_EQ("", headers.at("X-Empty"));
}

struct WireCase {
    const char* name;
    const char* method;
    const char* target;         // as handed to Open
    const char* expectedTarget; // as on the request line
    std::string body;
};

void PrintTo(const WireCase& row, std::ostream* out)
{
    *out << row.name;
}

class RequestOnTheWire : public CurlHttpClientTest, public ::testing::WithParamInterface<WireCase> {};

TEST_P(RequestOnTheWire, MethodTargetAndBodyArriveAsGiven)
{
    const WireCase& wire = GetParam();
    const std::unique_ptr<IHttpClient> client = NewClient();
    client->Open(wire.method, Loopback(m_server.port(), wire.target), false);
    client->Send(wire.body);

    const std::vector<RecordedRequest> requests = m_server.requests();
    ASSERT_EQ(1u, requests.size());
    const RecordedRequest& request = requests.front();
    EXPECT_EQ(wire.method, request.method);
    EXPECT_EQ(wire.expectedTarget, request.target);
    EXPECT_EQ(wire.body, request.body);
    if (!wire.body.empty() || request.method == "POST") {
        EXPECT_EQ(std::to_string(wire.body.size()), request.headers.at("Content-Length"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    CurlHttpClient, RequestOnTheWire,
    ::testing::Values(
        WireCase{"PostWithFormBody", "POST", "/json?location=43.70011, -79.41630&key=a",
                 "/json?location=43.70011,%20-79.41630&key=a", "location=43.70011, -79.41630&n=a+b%2F\xE2\x82\xAC"},
        WireCase{"PostWithEmptyBody", "POST", "/empty", "/empty", ""},
        WireCase{"PostWithBinaryBody", "POST", "/bin", "/bin", std::string("\0\x01\xFF\r\n\r\nend", 10)},
        WireCase{"GetEveryPathSpaceEncoded", "GET", "/a b/c d?x= y", "/a%20b/c%20d?x=%20y", ""},
        WireCase{"PercentSequencesKept", "PUT", "/already%20encoded?q=%2C%41", "/already%20encoded?q=%2C%41", "p"},
        WireCase{"DotSegmentsKept", "DELETE", "/one/../two/./three", "/one/../two/./three", ""}),
    CaseName<WireCase>);

// --- What comes back ---------------------------------------------------------

struct ResponseCase {
    const char* name;
    ScriptedResponse script;
};

void PrintTo(const ResponseCase& row, std::ostream* out)
{
    *out << row.name;
}

class ResponseReturned : public CurlHttpClientTest, public ::testing::WithParamInterface<ResponseCase> {};

TEST_P(ResponseReturned, BodyIsReturnedWhateverTheStatus)
{
    const ScriptedResponse& script = GetParam().script;
    m_server.respond(script);

    EXPECT_EQ(script.body, Post("/maps/api/timezone/json?location=1,2", "body"));
    EXPECT_EQ(1u, m_server.requests().size());
}

ScriptedResponse WithoutContentLength(ScriptedResponse response)
{
    response.sendContentLength = false;
    return response;
}

ScriptedResponse WithHeader(ScriptedResponse response, std::string name, std::string value)
{
    response.headers.emplace_back(std::move(name), std::move(value));
    return response;
}

INSTANTIATE_TEST_SUITE_P(
    CurlHttpClient, ResponseReturned,
    ::testing::Values(ResponseCase{"OkJson",
                                   WithHeader(ScriptedResponse::Ok(R"({"status":"OK","dstOffset":3600})"),
                                              "Content-Type", "application/json")},
                      ResponseCase{"ServerError",
                                   ScriptedResponse::WithStatus("HTTP/1.1 500 Internal Server Error",
                                                                R"({"status":"UNKNOWN_ERROR"})")},
                      ResponseCase{"NotFound", ScriptedResponse::WithStatus("HTTP/1.1 404 Not Found", "no such page")},
                      ResponseCase{"RedirectIsNotFollowed",
                                   WithHeader(ScriptedResponse::WithStatus("HTTP/1.1 302 Found", "moved"), "Location",
                                              "https://127.0.0.1:1/elsewhere")},
                      ResponseCase{"EmptyBody", ScriptedResponse::Ok("")},
                      ResponseCase{"BinaryBody", ScriptedResponse::Ok(std::string("\0\x01\x7F\x80\xFF\r\n", 7))},
                      ResponseCase{"BodyEndsWithTheConnection",
                                   WithoutContentLength(ScriptedResponse::Ok("until close"))}),
    CaseName<ResponseCase>);

TEST_F(CurlHttpClientTest, SlowButSteadyResponseIsNotCutByTheIdleLimit)
{
    // Three seconds in all against a one-second idle limit: only silence counts.
    ScriptedResponse script = ScriptedResponse::Ok(PatternOfSize(200));
    script.pieceBytes = 10;
    script.pauseAfterPiece = std::chrono::milliseconds(150);
    m_server.respond(script);

    const std::unique_ptr<IHttpClient> client = NewClient();
    client->setTimeouts(0, TenSeconds, 1000, 1000);
    client->Open("POST", Loopback(m_server.port(), "/slow"), false);
    client->Send("body");
    EXPECT_EQ(script.body, client->responseText());
}

// --- The 1 MiB limit ---------------------------------------------------------

struct SizeCase {
    const char* name;
    std::size_t bytes;
    bool announced; // with Content-Length
    bool accepted;
};

void PrintTo(const SizeCase& row, std::ostream* out)
{
    *out << row.name;
}

class ResponseSizeLimit : public CurlHttpClientTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(ResponseSizeLimit, UpToOneMiBIsReturnedAndMoreIsAFailure)
{
    const SizeCase& size = GetParam();
    ScriptedResponse script = ScriptedResponse::Ok(PatternOfSize(size.bytes));
    script.sendContentLength = size.announced;
    m_server.respond(script);

    const std::unique_ptr<IHttpClient> client = NewClient();
    client->Open("POST", Loopback(m_server.port(), "/large"), false);
    if (size.accepted) {
        client->Send("body");
        const std::string response = client->responseText();
        EXPECT_EQ(size.bytes, response.size());
        EXPECT_TRUE(response == script.body);
    } else {
        EXPECT_THROW(client->Send("body"), PlatformError);
        EXPECT_THROW(static_cast<void>(client->responseText()), PlatformError);
    }
}

INSTANTIATE_TEST_SUITE_P(CurlHttpClient, ResponseSizeLimit,
                         ::testing::Values(SizeCase{"ExactlyOneMiB", OneMiB, true, true},
                                           SizeCase{"ExactlyOneMiBUntilClose", OneMiB, false, true},
                                           SizeCase{"OneByteOver", OneMiB + 1, true, false},
                                           SizeCase{"OneByteOverUntilClose", OneMiB + 1, false, false},
                                           SizeCase{"FarOverUntilClose", 8 * OneMiB, false, false}),
                         CaseName<SizeCase>);

// --- Failures ----------------------------------------------------------------

TEST_F(CurlHttpClientTest, RefusedConnectionIsAPlatformErrorWithADescription)
{
    const support::RefusingTcpPort refusing;
    const std::unique_ptr<IHttpClient> client = NewClient();
    client->Open("POST", Loopback(refusing.port(), "/"), false);
    try {
        client->Send("body");
        FAIL() << "Send returned although nothing listens on port " << refusing.port();
    } catch (const PlatformError& error) {
        EXPECT_NE(std::string(error.what()).find("onnect"), std::string::npos) << error.what();
    }
    EXPECT_THROW(static_cast<void>(client->responseText()), PlatformError);
}

TEST_F(CurlHttpClientTest, ServerThatNeverAnswersIsGivenUpAfterTheReceiveLimit)
{
    m_server.respond(ScriptedResponse::NeverAnswer());
    const std::unique_ptr<IHttpClient> client = NewClient();
    client->setTimeouts(0, TenSeconds, TenSeconds, TenSeconds);
    client->Open("POST", Loopback(m_server.port(), "/"), false);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(client->Send("body"), PlatformError);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_GE(elapsed.count(), 9.0);
    EXPECT_LE(elapsed.count(), 15.0);
    EXPECT_EQ(1u, m_server.requests().size()) << "the request itself should have gone out";
}

TEST_F(CurlHttpClientTest, ConnectionClosedBeforeTheHandshakeIsAPlatformError)
{
    m_server.respond(ScriptedResponse::CloseAtOnce());
    const std::unique_ptr<IHttpClient> client = NewClient();
    client->Open("POST", Loopback(m_server.port(), "/"), false);
    EXPECT_THROW(client->Send("body"), PlatformError);
    EXPECT_TRUE(m_server.requests().empty());
}

TEST_F(CurlHttpClientTest, ConnectionClosedWithoutAnAnswerIsAPlatformError)
{
    m_server.respond([](const RecordedRequest&) { return ScriptedResponse::CloseAtOnce(); });
    const std::unique_ptr<IHttpClient> client = NewClient();
    client->Open("POST", Loopback(m_server.port(), "/"), false);
    EXPECT_THROW(client->Send("body"), PlatformError);
    EXPECT_EQ(1u, m_server.requests().size());
    EXPECT_THROW(static_cast<void>(client->responseText()), PlatformError);
}

// --- Certificates ------------------------------------------------------------

struct TrustCase {
    const char* name;
    std::function<support::ServerIdentity(const TestCertificate&)> serverIdentity;
    std::function<std::string(const TestCertificate&)> trustedCaFile;
    const char* host;
    bool accepted;
};

void PrintTo(const TrustCase& row, std::ostream* out)
{
    *out << row.name;
}

class CertificateVerification : public ::testing::TestWithParam<TrustCase> {
protected:
    TestCertificate m_certificates;
    CurlHttpClientFactory m_factory;
};

TEST_P(CertificateVerification, OnlyACertificateFromTheTrustedCaForThisHostIsAccepted)
{
    const TrustCase& trust = GetParam();
    LoopbackHttpsServer server(trust.serverIdentity(m_certificates));
    server.respond(ScriptedResponse::Ok("verified"));

    const std::unique_ptr<IHttpClient> client = m_factory.CreateHttpClient(trust.trustedCaFile(m_certificates));
    client->setTimeouts(0, TenSeconds, TenSeconds, TenSeconds);
    client->Open("POST", Address(trust.host, server.port(), "/"), false);
    if (trust.accepted) {
        client->Send("body");
        EXPECT_EQ("verified", client->responseText());
        EXPECT_EQ(1u, server.requests().size());
    } else {
        EXPECT_THROW(client->Send("body"), PlatformError);
        EXPECT_TRUE(server.requests().empty()) << "nothing may be sent to an unverified server";
    }
}

support::ServerIdentity TrustedServer(const TestCertificate& c)
{
    return c.server();
}
support::ServerIdentity StrangerServer(const TestCertificate& c)
{
    return c.serverFromUntrustedCa();
}
support::ServerIdentity OtherHostServer(const TestCertificate& c)
{
    return c.serverForOtherHost();
}
std::string TrustedCa(const TestCertificate& c)
{
    return c.caFile();
}
std::string UntrustedCa(const TestCertificate& c)
{
    return c.untrustedCaFile();
}
std::string SystemStore(const TestCertificate&)
{
    return "";
}
std::string MissingCaFile(const TestCertificate& c)
{
    return c.directory() + "/no-such-ca.pem";
}

INSTANTIATE_TEST_SUITE_P(
    CurlHttpClient, CertificateVerification,
    ::testing::Values(TrustCase{"TrustedCaByAddress", TrustedServer, TrustedCa, "127.0.0.1", true},
                      TrustCase{"TrustedCaByName", TrustedServer, TrustedCa, "localhost", true},
                      TrustCase{"ServerFromAnotherCa", StrangerServer, TrustedCa, "127.0.0.1", false},
                      TrustCase{"ClientTrustsAnotherCa", TrustedServer, UntrustedCa, "127.0.0.1", false},
                      TrustCase{"SystemStoreDoesNotKnowTheTestCa", TrustedServer, SystemStore, "127.0.0.1", false},
                      TrustCase{"CertificateForAnotherHost", OtherHostServer, TrustedCa, "127.0.0.1", false},
                      TrustCase{"CaFileMissing", TrustedServer, MissingCaFile, "127.0.0.1", false}),
    CaseName<TrustCase>);

// --- Misuse ------------------------------------------------------------------

class RejectedAddress : public CurlHttpClientTest, public ::testing::WithParamInterface<std::string> {};

constexpr const char* SecretKey = "AIzaSecretKeyThatMustNeverBeShown";

// What a failure says, which the user may see.
std::string FailureText(const std::function<void()>& call)
{
    try {
        call();
    } catch (const PlatformError& failure) {
        return failure.what();
    }
    return "(no failure)";
}

TEST_P(RejectedAddress, OpenRefusesAnythingButHttpsWithoutQuotingTheKey)
{
    std::string address = GetParam();
    const std::string portText = std::to_string(m_server.port());
    if (const std::size_t at = address.find("PORT"); at != std::string::npos) {
        address.replace(at, 4, portText);
    }
    address += std::string("?location=1,2&key=") + SecretKey;
    const std::unique_ptr<IHttpClient> client = NewClient();
    const std::string failure = FailureText([&] { client->Open("POST", address, false); });
    EXPECT_NE(failure, "(no failure)") << address;
    EXPECT_EQ(failure.find(SecretKey), std::string::npos) << failure;
    EXPECT_THROW(client->Send("body"), PlatformError);
    EXPECT_TRUE(m_server.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(CurlHttpClient, RejectedAddress,
                         ::testing::Values("http://127.0.0.1:PORT/", "ftp://127.0.0.1:PORT/", "file:///etc/hostname",
                                           "127.0.0.1:PORT/no-scheme", "", "https://",
                                           "https://127.0.0.1:PORT/\r\nX: y", "https://[::1/"));

TEST_F(CurlHttpClientTest, TransportFailureNamesTheHostButNotTheKey)
{
    const support::RefusingTcpPort refusing;
    const std::unique_ptr<IHttpClient> client = NewClient();
    client->Open("POST", Loopback(refusing.port(), "/maps?key=") + SecretKey, false);
    const std::string failure = FailureText([&] { client->Send("key=" + std::string(SecretKey)); });
    EXPECT_NE(failure.find("127.0.0.1"), std::string::npos) << failure;
    EXPECT_EQ(failure.find(SecretKey), std::string::npos) << failure;
}

TEST_F(CurlHttpClientTest, AsynchronousOpenIsRefused)
{
    const std::unique_ptr<IHttpClient> client = NewClient();
    EXPECT_THROW(client->Open("POST", Loopback(m_server.port(), "/"), true), PlatformError);
    EXPECT_THROW(client->Send("body"), PlatformError);
    EXPECT_TRUE(m_server.requests().empty());
}

TEST_F(CurlHttpClientTest, ResponseTextBeforeSendIsAPlatformError)
{
    const std::unique_ptr<IHttpClient> client = NewClient();
    EXPECT_THROW(static_cast<void>(client->responseText()), PlatformError);
    client->Open("POST", Loopback(m_server.port(), "/"), false);
    EXPECT_THROW(static_cast<void>(client->responseText()), PlatformError);
}

TEST_F(CurlHttpClientTest, OneObjectMakesOneRequest)
{
    m_server.respond(ScriptedResponse::Ok("first"));
    const std::unique_ptr<IHttpClient> client = NewClient();
    client->Open("POST", Loopback(m_server.port(), "/"), false);
    client->Send("body");
    EXPECT_THROW(client->Send("body"), PlatformError);
    EXPECT_EQ("first", client->responseText());
    EXPECT_EQ(1u, m_server.requests().size());
}

TEST_F(CurlHttpClientTest, HeaderThatWouldSplitTheRequestIsRefused)
{
    const std::unique_ptr<IHttpClient> client = NewClient();
    client->Open("POST", Loopback(m_server.port(), "/"), false);
    EXPECT_THROW(client->SetRequestHeader("X-Tag", "a\r\nInjected: yes"), PlatformError);
    EXPECT_THROW(client->SetRequestHeader("X Tag", "a"), PlatformError);
    client->Send("body");

    const std::vector<RecordedRequest> requests = m_server.requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(0u, requests.front().headers.count("Injected"));
}

} // namespace
} // namespace chronavel
