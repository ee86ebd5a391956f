// Small text helpers of the shell library.
#pragma once

#include "types.h"

// Removes every leading and trailing character found in `trimChars` from `text`, in place. TRUE when
// anything was removed.
BOOL StrTrimA(LPSTR text, LPCSTR trimChars);
// The first occurrence of `search` in `text`, ignoring the case of ASCII letters; null when there is
// none or an argument is null.
LPSTR StrStrIA(LPCSTR text, LPCSTR search);
