// Conversions shared by the file operations: POSIX file status to attributes and file times, and
// wide path arguments to narrow ones.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

#include "types.h"

namespace qvplatform {

// FILETIME (100 ns ticks since 1601-01-01 UTC) of a POSIX time.
FILETIME ToFileTime(const struct timespec& time);

// Attributes of an entry: FILE_ATTRIBUTE_DIRECTORY for folders, FILE_ATTRIBUTE_ARCHIVE for anything
// else, FILE_ATTRIBUTE_READONLY for a non-folder without any write permission bit,
// FILE_ATTRIBUTE_REPARSE_POINT (and never the folder bit) for a symbolic link.
DWORD AttributesOf(const struct stat& info);

// The UTF-8 form of a wide path argument; nullopt (last error ERROR_PATH_NOT_FOUND for null,
// ERROR_INVALID_NAME for text that is not valid UTF-16) when there is none.
std::optional<std::string> NarrowPathArgument(LPCWSTR path);

}  // namespace qvplatform
