// A whole authenticated request against chronyd's NTS server and the loopback
// time zone service, beside the same exchanges made bare: the key exchange
// with OpenSSL directly, the authenticated datagram on a plain socket, and the
// HTTPS POST with libcurl. The request's own cost is the difference.
#include "bench/LoopbackServices.h"
#include "nts/ExtensionFields.h"
#include "nts/KeRecords.h"
#include "platform/openssl/OpenSslAeadSiv.h"
#include "tests/support/QtTestPlatform.h"
#include "time/clsCheckTime.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace chronavel::bench {
namespace {

void BM_WholeNtsRequest(benchmark::State& state)
{
    NtsServices services;
    testing::QtTestPlatform platform;
    for (auto _ : state) {
        clsCheckTime check(platform.platform, services.ntsEndpoints());
        const std::string result = check.GetRealTime("ON");
        if (result.starts_with("Error")) {
            state.SkipWithError(result.c_str());
            return;
        }
        platform.messageBox.shown.clear();
    }
}
BENCHMARK(BM_WholeNtsRequest)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7)->ReportAggregatesOnly(true);

int Connect(int type, int port)
{
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int fd = ::socket(AF_INET, type, 0);
    // As a well-made client does, so that Nagle's algorithm delays no message.
    const int noDelay = 1;
    if (type == SOCK_STREAM && fd >= 0) {
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    }
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The key exchange with nothing around it but OpenSSL's own calls.
std::optional<NtsKeResponse> BareKeyExchange(SSL_CTX* context, int port, NtsKeys& keys)
{
    const int fd = Connect(SOCK_STREAM, port);
    SSL* ssl = SSL_new(context);
    SSL_set_fd(ssl, fd);
    SSL_set1_host(ssl, "127.0.0.1");
    const unsigned char alpn[] = "\x07ntske/1";
    SSL_set_alpn_protos(ssl, alpn, sizeof alpn - 1);
    const std::vector<std::uint8_t> request = BuildNtsKeRequest();
    std::vector<std::uint8_t> response;
    bool ok = fd >= 0 && SSL_connect(ssl) == 1 && SSL_write(ssl, request.data(), static_cast<int>(request.size())) > 0;
    std::uint8_t buffer[4096];
    int read = 0;
    while (ok && !NtsKeResponseLength(response) && (read = SSL_read(ssl, buffer, sizeof buffer)) > 0) {
        response.insert(response.end(), buffer, buffer + read);
    }
    for (auto [key, context5] : {std::pair{&keys.clientToServer, &NtsClientToServerContext},
                                 std::pair{&keys.serverToClient, &NtsServerToClientContext}}) {
        ok = ok
            && SSL_export_keying_material(ssl, key->data(), key->size(), NtsKeyExporterLabel,
                                          sizeof NtsKeyExporterLabel - 1, context5->data(), context5->size(), 1)
                == 1;
    }
    SSL_free(ssl);
    ::close(fd);
    if (!ok) {
        return std::nullopt;
    }
    return ParseNtsKeResponse(response);
}

bool BareNtsExchange(SSL_CTX* context, const testing::ChronyServer& chrony, OpenSslAeadSiv& aead)
{
    NtsKeys keys{};
    const std::optional<NtsKeResponse> response = BareKeyExchange(context, chrony.keyExchangePort(), keys);
    if (!response || response->outcome != NtsKeOutcome::Accepted) {
        return false;
    }
    const NtsRequestNonces nonces{.nonce = {1, 2}, .uniqueId = {3}, .aeadNonce = {4}};
    std::vector<std::uint8_t> packet = BuildNtsRequest(nonces, response->cookies.front(), keys.clientToServer, aead);
    const int fd = Connect(SOCK_DGRAM, response->ntpPort);
    bool answered = fd >= 0 && ::send(fd, packet.data(), packet.size(), 0) == static_cast<ssize_t>(packet.size());
    pollfd ready{fd, POLLIN, 0};
    packet.resize(2048);
    ssize_t length = 0;
    answered = answered && ::poll(&ready, 1, 10000) == 1 && (length = ::recv(fd, packet.data(), packet.size(), 0)) > 0;
    ::close(fd);
    packet.resize(static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
    return answered && ReadNtsReply(packet, nonces, keys.serverToClient, aead).status == NtsReplyStatus::Usable;
}

void BM_BareNtsExchanges(benchmark::State& state)
{
    NtsServices services;
    OpenSslAeadSiv aead;
    for (auto _ : state) {
        // A context per exchange, as a client that keeps nothing between requests makes it.
        SSL_CTX* context = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_min_proto_version(context, TLS1_3_VERSION);
        SSL_CTX_load_verify_locations(context, services.certificates.caFile().c_str(), nullptr);
        SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
        const bool exchanged = BareNtsExchange(context, services.chrony, aead);
        SSL_CTX_free(context);
        if (!exchanged || !HttpsPost(services.endpoints())) {
            state.SkipWithError("a bare exchange failed");
            break;
        }
    }
}
BENCHMARK(BM_BareNtsExchanges)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

} // namespace
} // namespace chronavel::bench
