#include "platform/win32/WindowsRootCertificates.h"

#include "platform/PlatformError.h"
#include "platform/win32/SystemErrorText.h"

#include <windows.h>

#include <wincrypt.h>

// After wincrypt.h (see the header).
#include <openssl/x509.h>

#include <memory>
#include <string>

namespace chronavel {
namespace {

struct StoreCloser {
    void operator()(HCERTSTORE store) const noexcept { CertCloseStore(store, 0); }
};

struct CertificateFreer {
    void operator()(X509* certificate) const noexcept { X509_free(certificate); }
};

PlatformError StoreError(const char* what)
{
    return PlatformError(std::string(what)
                         + " Windows' trusted root certificates: " + DescribeSystemError(GetLastError()));
}

void TrustRootsOf(DWORD location, X509_STORE* trusted)
{
    const std::unique_ptr<void, StoreCloser> store(
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location | CERT_STORE_READONLY_FLAG, L"ROOT"));
    if (!store) {
        throw StoreError("Cannot open");
    }
    PCCERT_CONTEXT root = nullptr;
    while ((root = CertEnumCertificatesInStore(store.get(), root)) != nullptr) {
        const unsigned char* der = root->pbCertEncoded;
        const std::unique_ptr<X509, CertificateFreer> certificate(
            d2i_X509(nullptr, &der, static_cast<long>(root->cbCertEncoded)));
        // A root OpenSSL cannot read could anchor none of the chains it checks:
        // passed over, like the roots Windows itself cannot parse.
        if (certificate && X509_STORE_add_cert(trusted, certificate.get()) != 1) {
            CertFreeCertificateContext(root);
            throw PlatformError("Cannot hand a root certificate of Windows' stores to OpenSSL");
        }
    }
    if (GetLastError() != static_cast<DWORD>(CRYPT_E_NOT_FOUND) && GetLastError() != ERROR_NO_MORE_FILES) {
        throw StoreError("Cannot read");
    }
}

} // namespace

void TrustWindowsRootCertificates(X509_STORE* store)
{
    TrustRootsOf(CERT_SYSTEM_STORE_LOCAL_MACHINE, store);
    TrustRootsOf(CERT_SYSTEM_STORE_CURRENT_USER, store);
}

} // namespace chronavel
