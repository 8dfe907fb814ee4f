#include "platform/win32/WindowsCertificateVerdict.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <wincrypt.h>

#include <memory>

namespace chronavel {
namespace {

struct StoreCloser {
    void operator()(HCERTSTORE store) const noexcept { CertCloseStore(store, 0); }
};
struct CertificateFreer {
    void operator()(PCCERT_CONTEXT certificate) const noexcept { CertFreeCertificateContext(certificate); }
};
struct ChainFreer {
    void operator()(PCCERT_CHAIN_CONTEXT chain) const noexcept { CertFreeCertificateChain(chain); }
};

} // namespace

TlsKeyExchangeFailure WindowsCertificateVerdict(const std::vector<std::vector<std::uint8_t>>& chain,
                                                const std::string& host)
{
    // The server's intermediates, where the chain engine looks besides the system's stores.
    const std::unique_ptr<void, StoreCloser> sent(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    if (!sent || chain.empty()) {
        return TlsKeyExchangeFailure::CertificateUntrusted;
    }
    std::unique_ptr<const CERT_CONTEXT, CertificateFreer> leaf;
    for (const std::vector<std::uint8_t>& der : chain) {
        PCCERT_CONTEXT added = nullptr;
        if (!CertAddEncodedCertificateToStore(sent.get(), X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                              CERT_STORE_ADD_ALWAYS, leaf ? nullptr : &added)) {
            return TlsKeyExchangeFailure::CertificateUntrusted;
        }
        if (!leaf) {
            leaf.reset(added);
        }
    }

    char serverAuthentication[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuthentication};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT built = nullptr;
    // No revocation check, as WinHTTP by default: a server's CRL must not
    // decide whether the time can be asked for.
    if (!CertGetCertificateChain(nullptr, leaf.get(), nullptr, sent.get(), &chainPara, 0, nullptr, &built)) {
        return TlsKeyExchangeFailure::CertificateUntrusted;
    }
    const std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFreer> builtChain(built);
    // Windows' SSL policy refuses a chain that reaches no root; Wine's lets it pass.
    if (built->TrustStatus.dwErrorStatus & CERT_TRUST_IS_PARTIAL_CHAIN) {
        return TlsKeyExchangeFailure::CertificateUntrusted;
    }

    std::wstring serverName = ToWide(host);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = serverName.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, built, &policy, &status)) {
        return TlsKeyExchangeFailure::CertificateUntrusted;
    }
    if (status.dwError == 0) {
        return TlsKeyExchangeFailure::None;
    }
    return status.dwError == static_cast<DWORD>(CERT_E_CN_NO_MATCH) ? TlsKeyExchangeFailure::CertificateWrongHost
                                                                    : TlsKeyExchangeFailure::CertificateUntrusted;
}

} // namespace chronavel
