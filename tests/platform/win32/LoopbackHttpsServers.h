#pragma once

#include <windows.h>

#include <wincrypt.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace chronavel::testing {

// The HTTPS servers tests/wine/with-https-servers started on 127.0.0.1
// (Linux processes, outside Wine), by the names the test's CMake gives them.
int HttpsServerPort(const std::string& serverName);

// A request as the server logged it (loopback_https_server --log).
struct LoggedRequest {
    std::string requestLine; // METHOD TARGET VERSION
    std::map<std::string, std::string> headers;
    std::string body;
};
std::vector<LoggedRequest> LoggedRequests(const std::string& serverName);

// A server's CA, DER (its NAME.der).
std::string HttpsServerCaFile(const std::string& serverName);

// While it lives, a CA (a DER file) sits in one of the current user's
// certificate stores, under Wine the test prefix's own, which takes it
// without a prompt: "Root" trusts it, "Disallowed" distrusts it.
class CaInUserStore {
public:
    CaInUserStore(const std::string& derFile, const wchar_t* storeName);

private:
    struct StoreCloser {
        void operator()(HCERTSTORE store) const noexcept { CertCloseStore(store, 0); }
    };
    // Wine writes a registry store's changes out when told to; closing this
    // one did not.
    struct CertificateRemover {
        HCERTSTORE store;
        void operator()(PCCERT_CONTEXT certificate) const noexcept
        {
            CertDeleteCertificateFromStore(certificate);
            CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
        }
    };

    std::unique_ptr<void, StoreCloser> m_store;
    std::unique_ptr<const CERT_CONTEXT, CertificateRemover> m_certificate; // removed before the store closes
};

} // namespace chronavel::testing
