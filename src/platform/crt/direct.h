// Folder functions of the C runtime, with path mapping (qvplatform::ToNativePath).
#pragma once

#include "types.h"

// Creates one folder (permission bits 0777 less the umask). 0, or -1 with errno: EEXIST (17) when the
// entry exists, ENOENT (2) when the parent is missing, EACCES ...
int _mkdir(const char* path);

// Tests whether the entry exists (mode 0), is readable (4), writable (2) or both (6); a file without
// write permission bits is never writable. 0, or -1 with errno ENOENT, EACCES or EINVAL.
int _access(const char* path, int mode);
