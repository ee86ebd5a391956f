// The C runtime's file streams as the agent opens them: crt_fopen takes the Windows C runtime's mode
// strings and paths, and returns a standard FILE* for fprintf, fputs, fread, fflush, fclose ...
//
// Modes: "r", "w", "a", each optionally with "+", then "b" (binary) or "t" (text, the default), and
// optionally "x" after "w" (the file must not exist). In text mode "\n" is written as "\r\n", "\r\n"
// is read as "\n", and a Ctrl-Z (0x1A) read ends the data, as in the Windows C runtime; opening with
// "a+" removes a Ctrl-Z that ends the file. Binary mode passes bytes unchanged. Append modes write
// at the end whatever the position. Files are shared for reading and writing with other opens (not
// for deletion); a file opened elsewhere without sharing gives EACCES. Modes that write or create
// refuse a symbolic link in the file's place (EACCES) and a file without write permission bits
// (EACCES, whoever runs the program). Other failures: ENOENT (no file or folder), EEXIST ("x"),
// EINVAL (bad mode or no path).
//
// Positions (fseek/ftell) are byte offsets in the file. Text streams are unbuffered at the FILE level
// (the translation layer buffers the raw reads), so ftell is exact there too; binary streams are
// fully buffered.
#pragma once

#include <cstdio>

#include "types.h"

FILE* crt_fopen(const char* path, const char* mode);
// The same with UTF-16 path and mode.
FILE* crt_wfopen(LPCWSTR path, LPCWSTR mode);
