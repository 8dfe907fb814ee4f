// OpenSSL, trusting Windows' Root stores, against a loopback_https_server on
// Linux: the store alone decides whether its certificate verifies.
#include "platform/win32/WindowsRootCertificates.h"

#include "tests/platform/win32/LoopbackHttpsServers.h"

#include <gtest/gtest.h>

#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <memory>
#include <optional>
#include <string>

namespace chronavel {
namespace {

using namespace chronavel::testing;

struct ContextFreer {
    void operator()(SSL_CTX* context) const noexcept { SSL_CTX_free(context); }
};
struct ConnectionFreer {
    void operator()(BIO* connection) const noexcept { BIO_free_all(connection); }
};

struct Handshake {
    bool completed;
    long verifyResult;
};

Handshake ConnectVerifyingAgainstWindowsRoots(int port)
{
    const std::unique_ptr<SSL_CTX, ContextFreer> context(SSL_CTX_new(TLS_client_method()));
    TrustWindowsRootCertificates(SSL_CTX_get_cert_store(context.get()));
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    const std::unique_ptr<BIO, ConnectionFreer> connection(BIO_new_ssl_connect(context.get()));
    SSL* ssl = nullptr;
    BIO_get_ssl(connection.get(), &ssl);
    BIO_set_conn_hostname(connection.get(), ("127.0.0.1:" + std::to_string(port)).c_str());
    SSL_set_tlsext_host_name(ssl, "localhost");
    SSL_set1_host(ssl, "localhost");
    const bool completed = BIO_do_handshake(connection.get()) == 1;
    return {completed, SSL_get_verify_result(ssl)};
}

struct TrustCase {
    const char* name;
    bool caInUsersRootStore;
    long verifyResult;
};

class Trust : public ::testing::TestWithParam<TrustCase> {};

TEST_P(Trust, FollowsTheRootStores)
{
    std::optional<TrustedServerCa> trust;
    if (GetParam().caInUsersRootStore) {
        trust.emplace(HttpsServerCaFile("tls"));
    }
    const Handshake handshake = ConnectVerifyingAgainstWindowsRoots(HttpsServerPort("tls"));
    EXPECT_EQ(handshake.verifyResult, GetParam().verifyResult) << X509_verify_cert_error_string(handshake.verifyResult);
    EXPECT_EQ(handshake.completed, GetParam().verifyResult == X509_V_OK);
}

INSTANTIATE_TEST_SUITE_P(WindowsRootCertificates, Trust,
                         ::testing::Values(TrustCase{"CaInTheUsersRootStore", true, X509_V_OK},
                                           TrustCase{"CaInNoStore", false,
                                                     X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY}),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace chronavel
