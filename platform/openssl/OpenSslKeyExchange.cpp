#include "platform/openssl/OpenSslKeyExchange.h"

#include "platform/openssl/NativeSocket.h"
#include "platform/openssl/OpenSslErrorText.h"
#include "platform/openssl/StreamSocket.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <memory>

namespace chronavel {
namespace {

// Far above what a key exchange sends (a few kilobytes of cookies).
constexpr std::size_t MaximumResponse = 64 * 1024;

struct SslDeleter {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
template <typename T>
using Owned = std::unique_ptr<T, SslDeleter>;

void Require(bool ok, const char* what)
{
    if (!ok) {
        throw ExchangeFailed{TlsKeyExchangeFailure::Other, OpenSslErrorText(what)};
    }
}

// What the platform's verdict is asked about, while a context lives.
struct PlatformVerification {
    const CertificateVerdict& verdict;
    const std::string& host;
};

std::vector<std::uint8_t> Der(X509* certificate)
{
    const int length = i2d_X509(certificate, nullptr);
    Require(length > 0, "The server's certificate cannot be encoded");
    std::vector<std::uint8_t> der(static_cast<std::size_t>(length));
    unsigned char* end = der.data();
    i2d_X509(certificate, &end);
    return der;
}

// In place of OpenSSL's own chain building: the platform's verdict, as an
// X509 error, so that Handshake reads it as it reads OpenSSL's.
int AskThePlatform(X509_STORE_CTX* store, void* argument)
{
    const auto& platform = *static_cast<const PlatformVerification*>(argument);
    try {
        X509* leaf = X509_STORE_CTX_get0_cert(store);
        std::vector<std::vector<std::uint8_t>> chain{Der(leaf)};
        // What the server sent, its leaf among it.
        const STACK_OF(X509)* sent = X509_STORE_CTX_get0_untrusted(store);
        for (int i = 0; i < sk_X509_num(sent); ++i) {
            if (sk_X509_value(sent, i) != leaf) {
                chain.push_back(Der(sk_X509_value(sent, i)));
            }
        }
        switch (platform.verdict(chain, platform.host)) {
        case TlsKeyExchangeFailure::None:
            X509_STORE_CTX_set_error(store, X509_V_OK);
            return 1;
        case TlsKeyExchangeFailure::CertificateWrongHost:
            X509_STORE_CTX_set_error(store, X509_V_ERR_HOSTNAME_MISMATCH);
            return 0;
        default:
            X509_STORE_CTX_set_error(store, X509_V_ERR_CERT_UNTRUSTED);
            return 0;
        }
    } catch (...) {
        // Nothing may unwind through OpenSSL; unjudged is untrusted.
        X509_STORE_CTX_set_error(store, X509_V_ERR_UNSPECIFIED);
        return 0;
    }
}

Owned<SSL_CTX> MakeContext(const std::string& caFile, const PlatformVerification* platform)
{
    Owned<SSL_CTX> context(SSL_CTX_new(TLS_client_method()));
    Require(context != nullptr, "TLS is not available");
    // RFC 8915 section 3: TLS 1.3 or later only.
    Require(SSL_CTX_set_min_proto_version(context.get(), TLS1_3_VERSION) == 1, "TLS 1.3 is not available");
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    // The messages carry their own end, so a close without close_notify loses nothing.
    SSL_CTX_set_options(context.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    if (!caFile.empty()) {
        Require(SSL_CTX_load_verify_locations(context.get(), caFile.c_str(), nullptr) == 1,
                "The trusted certificates cannot be read");
    } else if (platform != nullptr) {
        SSL_CTX_set_cert_verify_callback(context.get(), AskThePlatform, const_cast<PlatformVerification*>(platform));
    } else {
        Require(SSL_CTX_set_default_verify_paths(context.get()) == 1, "The system's trust store cannot be read");
    }
    return context;
}

void NameTheServer(SSL* ssl, const std::string& host)
{
    // An address is checked against the certificate's addresses and sent
    // without SNI, which carries names only (RFC 6066 section 3).
    if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str()) == 1) {
        return;
    }
    ERR_clear_error();
    Require(SSL_set_tlsext_host_name(ssl, host.c_str()) == 1 && SSL_set1_host(ssl, host.c_str()) == 1,
            "The server's name cannot be set");
}

void OfferProtocol(SSL* ssl, const std::string& alpn)
{
    Require(!alpn.empty() && alpn.size() < 256, "Invalid application protocol name");
    std::vector<unsigned char> list{static_cast<unsigned char>(alpn.size())};
    list.insert(list.end(), alpn.begin(), alpn.end());
    // Unlike most of OpenSSL, 0 is success here.
    Require(SSL_set_alpn_protos(ssl, list.data(), static_cast<unsigned>(list.size())) == 0,
            "The application protocol cannot be offered");
}

// Runs one TLS operation to its end on the non-blocking socket; the error
// code of SSL_get_error when it fails.
template <typename Operation>
int Complete(SSL* ssl, const StreamSocket& socket, const Deadline& deadline, Operation operation)
{
    for (;;) {
        ERR_clear_error();
        const int result = operation();
        if (result > 0) {
            return SSL_ERROR_NONE;
        }
        const int error = SSL_get_error(ssl, result);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) {
            return error;
        }
        socket.Wait(error == SSL_ERROR_WANT_WRITE, deadline);
    }
}

std::string DescribeFailure(int error, const char* what)
{
    if (error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0) {
        const int socketError = native_socket::LastError();
        return std::string(what) + ": "
            + (socketError != 0 ? native_socket::ErrorText(socketError) : "the server closed the connection");
    }
    return OpenSslErrorText(what);
}

void Handshake(SSL* ssl, const StreamSocket& socket, const Deadline& deadline, const std::string& alpn)
{
    const int error = Complete(ssl, socket, deadline, [ssl] { return SSL_connect(ssl); });
    if (error != SSL_ERROR_NONE) {
        const long verification = SSL_get_verify_result(ssl);
        if (verification == X509_V_ERR_HOSTNAME_MISMATCH || verification == X509_V_ERR_IP_ADDRESS_MISMATCH) {
            ERR_clear_error();
            throw ExchangeFailed{TlsKeyExchangeFailure::CertificateWrongHost,
                                 X509_verify_cert_error_string(verification)};
        }
        if (verification != X509_V_OK) {
            ERR_clear_error();
            throw ExchangeFailed{TlsKeyExchangeFailure::CertificateUntrusted,
                                 X509_verify_cert_error_string(verification)};
        }
        // Only TLS's own refusal (an alert, no protocol in common) says the
        // server offers nothing we accept; a reset or a close says no more
        // than that the connection failed.
        throw ExchangeFailed{error == SSL_ERROR_SSL ? TlsKeyExchangeFailure::TlsRefused : TlsKeyExchangeFailure::Other,
                             DescribeFailure(error, "TLS handshake failed")};
    }
    // RFC 8915 section 4: without the protocol agreed, the exchange is over.
    const unsigned char* selected = nullptr;
    unsigned length = 0;
    SSL_get0_alpn_selected(ssl, &selected, &length);
    if (std::string(reinterpret_cast<const char*>(selected), length) != alpn) {
        throw ExchangeFailed{TlsKeyExchangeFailure::TlsRefused, "The server did not agree to " + alpn};
    }
}

std::vector<std::uint8_t> ExportKey(SSL* ssl, const TlsKeyExchangeRequest& request,
                                    const std::vector<std::uint8_t>& context)
{
    std::vector<std::uint8_t> key(request.keyLength);
    Require(SSL_export_keying_material(ssl, key.data(), key.size(), request.exporterLabel.data(),
                                       request.exporterLabel.size(), context.data(), context.size(), 1)
                == 1,
            "The keys cannot be exported");
    return key;
}

std::vector<std::uint8_t> Converse(SSL* ssl, const StreamSocket& socket, const Deadline& deadline,
                                   const TlsKeyExchangeRequest& request)
{
    const int written = Complete(ssl, socket, deadline, [&] {
        return SSL_write(ssl, request.request.data(), static_cast<int>(request.request.size()));
    });
    if (written != SSL_ERROR_NONE) {
        throw ExchangeFailed{TlsKeyExchangeFailure::Other, DescribeFailure(written, "Sending the request failed")};
    }
    std::vector<std::uint8_t> response;
    std::uint8_t buffer[4096];
    while (!request.isComplete(response)) {
        std::size_t received = 0;
        const int error
            = Complete(ssl, socket, deadline, [&] { return SSL_read_ex(ssl, buffer, sizeof buffer, &received); });
        if (error == SSL_ERROR_ZERO_RETURN) {
            break; // the server closed; the caller judges what came
        }
        if (error != SSL_ERROR_NONE) {
            throw ExchangeFailed{TlsKeyExchangeFailure::Other, DescribeFailure(error, "Receiving the response failed")};
        }
        if (response.size() + received > MaximumResponse) {
            throw ExchangeFailed{TlsKeyExchangeFailure::Other,
                                 "The response is longer than " + std::to_string(MaximumResponse) + " bytes"};
        }
        response.insert(response.end(), buffer, buffer + received);
    }
    return response;
}

TlsKeyExchangeOutcome Exchange(const TlsKeyExchangeRequest& request, const CertificateVerdict& verdict,
                               const Deadline& deadline)
{
    const PlatformVerification platform{verdict, request.host};
    const Owned<SSL_CTX> context = MakeContext(request.caFile, verdict ? &platform : nullptr);
    const StreamSocket socket(request.host, request.port, deadline);
    const Owned<SSL> ssl(SSL_new(context.get()));
    Require(ssl != nullptr && SSL_set_fd(ssl.get(), socket.descriptor()) == 1, "TLS cannot start");
    NameTheServer(ssl.get(), request.host);
    OfferProtocol(ssl.get(), request.alpn);

    Handshake(ssl.get(), socket, deadline, request.alpn);
    TlsKeyExchangeOutcome outcome;
    outcome.connectedAddress = socket.address();
    outcome.clientToServerKey = ExportKey(ssl.get(), request, request.clientToServerContext);
    outcome.serverToClientKey = ExportKey(ssl.get(), request, request.serverToClientContext);
    outcome.response = Converse(ssl.get(), socket, deadline, request);
    // Our close_notify, without waiting for the server's.
    SSL_shutdown(ssl.get());
    ERR_clear_error();
    return outcome;
}

} // namespace

TlsKeyExchangeOutcome RunTlsKeyExchange(const TlsKeyExchangeRequest& request, const CertificateVerdict& verdict,
                                        const std::atomic<bool>& abandoned)
{
    try {
        return Exchange(request, verdict, Deadline{std::chrono::steady_clock::now() + request.timeLimit, abandoned});
    } catch (const ExchangeFailed& failure) {
        return {failure.kind, failure.description};
    } catch (const std::exception& failure) {
        return {TlsKeyExchangeFailure::Other, failure.what()};
    }
}

} // namespace chronavel
