#include "tablestore/copy_functions.h"

#include <exception>

#include "logging/log_core.h"

int AllocateAndCopy(std::string& destination, const char* source, size_t n) {
  try {
    destination.assign(source, n);
    return kCopySuccess;
  } catch (const std::exception&) {  // bad_alloc or length_error
    LogError("Unable to allocate memory\n");
    return kCopyNoMemory;
  }
}

int AllocateAndCopyString(std::string& destination, const char* text) {
  try {
    destination.assign(text);
    return kCopySuccess;
  } catch (const std::exception&) {
    return kCopyNoMemory;
  }
}
