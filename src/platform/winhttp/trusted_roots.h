// Extra trusted root certificates for HTTPS, beside the system bundle.
//
// The machine's ROOT certificate store registers a provider here; every TLS handshake asks it for
// the certificates to trust in addition to the system bundle. Each certificate is given as PEM text
// (one or more certificates) or as DER bytes.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qvplatform {

using TrustedRootsProvider = std::function<std::vector<std::string>()>;

// Replaces the provider; an empty function removes it.
void SetExtraTrustedRootsProvider(TrustedRootsProvider provider);
// The certificates the provider returns now (empty without a provider).
std::vector<std::string> ExtraTrustedRoots();

}  // namespace qvplatform
