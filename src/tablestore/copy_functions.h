// Text copies with the framework's two-value result code.
#pragma once

#include <cstddef>
#include <string>

inline constexpr int kCopySuccess = 1;
inline constexpr int kCopyNoMemory = 99;

// Stores the first n bytes of source in destination; kCopySuccess, or kCopyNoMemory after logging
// "Unable to allocate memory\n" at ERROR. The source must hold at least n bytes.
int AllocateAndCopy(std::string& destination, const char* source, size_t n);
// Stores a copy of text (which must be present) in destination; kCopySuccess or kCopyNoMemory.
int AllocateAndCopyString(std::string& destination, const char* text);
