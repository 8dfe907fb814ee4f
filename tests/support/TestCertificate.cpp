#include "tests/support/TestCertificate.h"

#include "tests/support/OpenSslError.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace chronavel::testing {
namespace {

struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateDeleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct ExtensionDeleter {
    void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};
struct NumberDeleter {
    void operator()(BIGNUM* number) const { BN_free(number); }
};
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using Certificate = std::unique_ptr<X509, CertificateDeleter>;

[[noreturn]] void Fail(const std::string& what)
{
    throw std::runtime_error(DescribeOpenSslError("TestCertificate: " + what));
}

void Require(bool ok, const char* what)
{
    if (!ok) {
        Fail(what);
    }
}

Key MakeKey()
{
    // P-256: quick to make, and every TLS stack accepts it.
    Key key(EVP_EC_gen("P-256"));
    Require(key != nullptr, "making a key");
    return key;
}

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    const std::unique_ptr<X509_EXTENSION, ExtensionDeleter> extension(
        X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    Require(extension != nullptr, "building a certificate extension");
    Require(X509_add_ext(certificate, extension.get(), -1) == 1, "adding a certificate extension");
}

void SetCommonName(X509_NAME* name, const char* commonName)
{
    Require(X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                                       reinterpret_cast<const unsigned char*>("Chronavel tests"), -1, -1, 0)
                == 1,
            "naming a certificate");
    Require(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1,
                                       -1, 0)
                == 1,
            "naming a certificate");
}

// Subject, validity, serial and key; the caller adds extensions and signs.
Certificate StartCertificate(EVP_PKEY* subjectKey, const char* commonName)
{
    Certificate certificate(X509_new());
    Require(certificate != nullptr, "allocating a certificate");
    Require(X509_set_version(certificate.get(), X509_VERSION_3) == 1, "setting the certificate version");

    // Random serials: certificates from separate runs must not look alike.
    const std::unique_ptr<BIGNUM, NumberDeleter> serial(BN_new());
    Require(serial && BN_rand(serial.get(), 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1, "choosing a serial");
    Require(BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate.get())) != nullptr,
            "setting the serial");

    // An hour back allows for a clock that is a little behind.
    Require(X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -60 * 60) != nullptr, "setting validity");
    Require(X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 2 * 24 * 60 * 60) != nullptr, "setting validity");

    SetCommonName(X509_get_subject_name(certificate.get()), commonName);
    Require(X509_set_pubkey(certificate.get(), subjectKey) == 1, "setting the public key");
    return certificate;
}

void Sign(X509* certificate, EVP_PKEY* issuerKey)
{
    Require(X509_sign(certificate, issuerKey, EVP_sha256()) > 0, "signing a certificate");
}

struct Authority {
    Key key;
    Certificate certificate;
};

Authority MakeAuthority(const char* commonName)
{
    Key key = MakeKey();
    Certificate certificate = StartCertificate(key.get(), commonName);
    Require(X509_set_issuer_name(certificate.get(), X509_get_subject_name(certificate.get())) == 1,
            "setting the issuer");
    AddExtension(certificate.get(), certificate.get(), NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(certificate.get(), certificate.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(certificate.get(), certificate.get(), NID_subject_key_identifier, "hash");
    Sign(certificate.get(), key.get());
    return {std::move(key), std::move(certificate)};
}

struct Issued {
    Key key;
    Certificate certificate;
};

Issued IssueServerCertificate(const Authority& issuer, const char* commonName, const char* alternativeNames)
{
    Key key = MakeKey();
    Certificate certificate = StartCertificate(key.get(), commonName);
    Require(X509_set_issuer_name(certificate.get(), X509_get_subject_name(issuer.certificate.get())) == 1,
            "setting the issuer");
    X509* const ca = issuer.certificate.get();
    AddExtension(certificate.get(), ca, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(certificate.get(), ca, NID_key_usage, "critical,digitalSignature,keyEncipherment");
    AddExtension(certificate.get(), ca, NID_ext_key_usage, "serverAuth");
    AddExtension(certificate.get(), ca, NID_subject_alt_name, alternativeNames);
    AddExtension(certificate.get(), ca, NID_subject_key_identifier, "hash");
    AddExtension(certificate.get(), ca, NID_authority_key_identifier, "keyid:always");
    Sign(certificate.get(), issuer.key.get());
    return {std::move(key), std::move(certificate)};
}

std::unique_ptr<std::FILE, FileCloser> OpenForWriting(const std::string& path)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        throw std::system_error(errno, std::generic_category(), "TestCertificate: cannot write " + path);
    }
    return file;
}

void WriteCertificate(const std::string& path, X509* certificate)
{
    const auto file = OpenForWriting(path);
    Require(PEM_write_X509(file.get(), certificate) == 1, "writing a certificate");
}

void WriteKey(const std::string& path, EVP_PKEY* key)
{
    const auto file = OpenForWriting(path);
    Require(PEM_write_PrivateKey(file.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1, "writing a key");
}

ServerIdentity WriteIdentity(const std::string& directory, const std::string& stem, const Issued& issued)
{
    ServerIdentity identity{directory + "/" + stem + ".pem", directory + "/" + stem + "-key.pem"};
    WriteCertificate(identity.certificateFile, issued.certificate.get());
    WriteKey(identity.keyFile, issued.key.get());
    return identity;
}

std::string MakeTemporaryDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "chronavel-tls-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        throw std::system_error(errno, std::generic_category(), "TestCertificate: cannot make " + pattern);
    }
    return buffer.data();
}

} // namespace

TestCertificate::TestCertificate() : m_directory(MakeTemporaryDirectory())
{
    try {
        const Authority ca = MakeAuthority("Chronavel test CA");
        const Authority stranger = MakeAuthority("Chronavel untrusted test CA");
        const std::string loopbackNames = "IP:127.0.0.1,DNS:localhost";

        m_caFile = m_directory + "/ca.pem";
        WriteCertificate(m_caFile, ca.certificate.get());
        m_caDerFile = m_directory + "/ca.der";
        Require(i2d_X509_fp(OpenForWriting(m_caDerFile).get(), ca.certificate.get()) == 1, "writing a certificate");
        m_server = WriteIdentity(m_directory, "server", IssueServerCertificate(ca, "127.0.0.1", loopbackNames.c_str()));

        m_untrustedCaFile = m_directory + "/untrusted-ca.pem";
        WriteCertificate(m_untrustedCaFile, stranger.certificate.get());
        m_serverFromUntrustedCa = WriteIdentity(m_directory, "untrusted-server",
                                                IssueServerCertificate(stranger, "127.0.0.1", loopbackNames.c_str()));

        const std::string otherNames = std::string("DNS:") + OtherHostName;
        m_serverForOtherHost
            = WriteIdentity(m_directory, "other-host", IssueServerCertificate(ca, OtherHostName, otherNames.c_str()));
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove_all(m_directory, ignored);
        throw;
    }
}

TestCertificate::~TestCertificate()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_directory, ignored);
}

} // namespace chronavel::testing
