// Small file-system operations shared by the log set-up, the transfer logs and the transfers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "win32.h"

// The part after the last backslash (the whole path when there is none).
std::string GetLastFileName(const char* path);
// The part after the last "/"; none for no input.
std::optional<std::string> GetLastUrlFileName(const char* urlOrPath);
// 0 when the folder of the file path exists afterwards; 183 for a drive only; 13 for no path;
// otherwise the folder creation's system error code.
DWORD CreateFolder(const char16_t* filePath);
// 1 when the file can be opened for exclusive reading and is not empty, else 0.
int IsFileExist(const char* path);
// 0 when at least one entry matches the path or pattern, 2 when none does, 13 for no input.
int CheckFileExists(const char16_t* pathOrPattern);
// 1 and the size, or 0 when the file cannot be opened or its size read.
int GetFileSize64(const char* path, uint64_t* size);
// Appends the text and a line end, creating the file and its folder first when needed; returns the
// code of the creation step (0 when none was needed).
DWORD AppendLineToFile(const char* path, const char* text);
