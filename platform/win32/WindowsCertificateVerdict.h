#pragma once

#include "platform/TlsKeyExchange.h"

#include <cstdint>
#include <string>
#include <vector>

namespace chronavel {

// Windows' chain engine judges a server's chain (DER, its leaf first) for
// the name it was reached by, as WinHTTP does: its roots, those it fetches
// on demand, the Disallowed store, enterprise trust and each root's
// restrictions all apply. CertificateWrongHost when only the name fails,
// CertificateUntrusted for anything else, a chain Windows cannot read among it.
TlsKeyExchangeFailure WindowsCertificateVerdict(const std::vector<std::vector<std::uint8_t>>& chain,
                                                const std::string& host);

} // namespace chronavel
