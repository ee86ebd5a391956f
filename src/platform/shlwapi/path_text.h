// Path texts of the shell library.
#pragma once

#include "types.h"

// The extension of the last component of `path`: a pointer to its last ".", or to the terminating
// NUL when the last component has none (components end at "\" or "/"; an extension holds no blank).
// Null for a null path.
LPSTR PathFindExtensionA(LPCSTR path);
