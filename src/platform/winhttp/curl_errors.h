// The one place where libcurl's result codes become WinHTTP error codes.
#pragma once

#include <curl/curl.h>

#include "types.h"

namespace qvplatform::winhttp {

DWORD CurlCodeToWinHttp(CURLcode code);

}  // namespace qvplatform::winhttp
