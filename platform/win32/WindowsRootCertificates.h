#pragma once

#include <openssl/types.h>

namespace chronavel {

// Trusts in an OpenSSL store (e.g. SSL_CTX_get_cert_store) the roots of
// Windows' Root stores, the local machine's and the current user's, so that
// the roots an administrator or the user trusts apply here as in every other
// Windows program. Throws PlatformError when a store cannot be read.
void TrustWindowsRootCertificates(X509_STORE* store);

} // namespace chronavel
