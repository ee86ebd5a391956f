// The fixed explanatory texts of the WinHTTP error codes, as the agent logs them.
#pragma once

#include "win32.h"

// The text logged for `code`, or null when the code has no text of its own (the system's message
// is logged then).
const char* WinHttpErrorText(DWORD code);
