// Folder creation through the shell: every missing level at once.
#pragma once

#include "types.h"

// Creates the folder and every missing folder above it. Returns (and sets as last error)
// ERROR_SUCCESS when it was created, ERROR_ALREADY_EXISTS when it is already a folder,
// ERROR_FILE_EXISTS when a file has its name, ERROR_PATH_NOT_FOUND when a file stands in the middle
// of the path, ERROR_BAD_PATHNAME for a relative (or no) path, ERROR_INVALID_NAME for text that is not
// valid UTF-16, or the folder creation's error (ERROR_ACCESS_DENIED ...). Window and security
// attributes are ignored.
int SHCreateDirectoryExW(HWND window, LPCWSTR path, const SECURITY_ATTRIBUTES* securityAttributes);
