// The fixed explanatory texts of the WinHTTP error codes, and HttpGetLastError, which logs them.
#pragma once

#include "win32.h"

// The text logged for `code`, or null when the code has no text of its own (the system's message
// is logged then).
const char* WinHttpErrorText(DWORD code);

// Logs the text of a WinHTTP error code at ERROR, exactly as it stands (it may lack a line end or
// end with a blank after it); any other code goes to LogErrorMessage. Decides nothing.
void HttpGetLastError(DWORD code);
