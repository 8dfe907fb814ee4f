#pragma once

// OpenSSL's name, declared rather than included: <openssl/types.h> undoes the
// macros <wincrypt.h> defines over OpenSSL's names only when it comes after it.
typedef struct x509_store_st X509_STORE;

namespace chronavel {

// Trusts in an OpenSSL store (e.g. SSL_CTX_get_cert_store) the roots of
// Windows' Root stores, the local machine's and the current user's, so that
// the roots an administrator or the user trusts apply here as in every other
// Windows program. Throws PlatformError when a store cannot be read.
void TrustWindowsRootCertificates(X509_STORE* store);

} // namespace chronavel
