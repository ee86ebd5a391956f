#pragma once

#include <string>

#include "win32.h"

// 0 and the 32 lower-case hexadecimal digits of the text's MD5 digest in `digest`, or the system
// error code of the step that failed.
DWORD GetMD5HashFromString(const char* text, std::string& digest);
