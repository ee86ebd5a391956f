// The certificate and protocol policy of one HTTPS transfer, applied to libcurl's OpenSSL context.
#pragma once

#include <curl/curl.h>

#include "types.h"

namespace qvplatform::winhttp {

struct TlsPolicy {
  DWORD security_flags = 0;     // SECURITY_FLAG_IGNORE_* bits
  DWORD secure_protocols = 0;   // WINHTTP_FLAG_SECURE_PROTOCOL_* bits
};

// The protocols used when a session sets none: TLS 1.2 and TLS 1.3.
DWORD DefaultSecureProtocols();

// Sets the libcurl options for `policy` (which must outlive the transfer).
void ApplyTlsPolicy(CURL* easy, const TlsPolicy* policy);

}  // namespace qvplatform::winhttp
