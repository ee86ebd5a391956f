// Path mapping from the agent's Windows-style paths to native POSIX paths, and the process's
// current directory.
//
// Both "\" and "/" separate components. A POSIX absolute path passes through. A drive path ("X:\...",
// "X:/..." or "X:") maps below the drives root as "<root>/<X upper-cased>/...". Relative paths stay
// relative to the current directory. "." components are dropped and ".." components are resolved
// lexically, as Windows does; a drive path never climbs above its drive folder. Names keep their case.
#pragma once

#include <string>

#include "types.h"

// GetCurrentDirectoryA returns the native (POSIX) current directory. With a buffer too small for it
// (or none) the result is the size needed, terminator included, and the buffer is untouched; on
// success the length without terminator; 0 with the last error on failure.
DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
// ERROR_FILE_NOT_FOUND for a missing directory, ERROR_PATH_NOT_FOUND for a missing parent,
// ERROR_DIRECTORY for a file.
BOOL SetCurrentDirectoryA(LPCSTR path);

namespace qvplatform {

// The environment variable naming the drives root, and its default.
inline constexpr const char* kDrivesRootVariable = "QVAGENT_DRIVES_ROOT";
inline constexpr const char* kDefaultDrivesRoot = "/var/lib/qvagent/drives";

// The drives root currently in effect (QVAGENT_DRIVES_ROOT when set and not empty), without a
// trailing "/".
std::string DrivesRoot();

// The native path for a Windows-style or POSIX path. Null or empty gives an empty text.
std::string ToNativePath(const char* path);

// True for a path that names a fixed place: a drive path, a POSIX absolute path or a path starting
// with a separator. False for relative paths (and null).
bool IsAbsolutePath(const char* path);

// The system error code for a failed look-up of `nativePath` with POSIX error `err`: a missing
// entry is ERROR_FILE_NOT_FOUND when its folder exists and ERROR_PATH_NOT_FOUND when it does not;
// a non-folder in the middle of the path is ERROR_PATH_NOT_FOUND; other errors map as
// ErrnoToWin32 maps them.
DWORD PathErrorFromErrno(int err, const std::string& nativePath);

// The folder part of a native path ("." when it has none; "/" for a top-level entry).
std::string ParentOf(const std::string& nativePath);

}  // namespace qvplatform
