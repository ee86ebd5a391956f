#include "kernel32/message.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_set>

#include "kernel32/conversions.h"
#include "kernel32/errors.h"

namespace {

// Local allocations are tracked so that LocalFree can refuse what it did not hand out.
struct LocalHeap {
  std::mutex mutex;
  std::unordered_set<void*> blocks;
};

LocalHeap& Heap() {
  static auto* heap = new LocalHeap;
  return *heap;
}

// Applies the maximum-width setting: 0 keeps the text as stored; any width turns each line break
// into a blank (no new breaks are inserted for the widths the agent uses).
std::string ApplyWidth(const char* stored, DWORD width) {
  std::string text(stored);
  if (width == 0) return text;
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out.push_back(' ');
      ++i;
    } else if (text[i] == '\n') {
      out.push_back(' ');
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

bool LanguageSupported(DWORD languageId) {
  // Neutral, user default, system default and US English all give the same texts.
  return languageId == 0 || languageId == 0x400 || languageId == 0x800 || languageId == 0x409;
}

// Looks up and shapes the text; false with the last error set when there is none.
bool LookUp(DWORD flags, DWORD messageId, DWORD languageId, std::string& text) {
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (!LanguageSupported(languageId)) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return false;
  }
  const char* stored = qvplatform::SystemMessageText(messageId);
  if (!stored) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return false;
  }
  text = ApplyWidth(stored, flags & FORMAT_MESSAGE_MAX_WIDTH_MASK);
  return true;
}

template <class Char>
DWORD Deliver(DWORD flags, const std::basic_string<Char>& text, Char* buffer, DWORD size) {
  const size_t bytes = (text.size() + 1) * sizeof(Char);
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    if (!buffer) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    // `size` is the minimum number of characters to allocate.
    size_t allocation = std::max(bytes, static_cast<size_t>(size) * sizeof(Char));
    auto* block = static_cast<Char*>(LocalAlloc(LPTR, allocation));
    if (!block) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    std::memcpy(block, text.c_str(), bytes);
    *reinterpret_cast<Char**>(buffer) = block;
    return static_cast<DWORD>(text.size());
  }
  if (!buffer || size < text.size() + 1) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, text.c_str(), bytes);
  return static_cast<DWORD>(text.size());
}

}  // namespace

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  void* block = (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
  if (!block) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto& heap = Heap();
  std::lock_guard lock(heap.mutex);
  heap.blocks.insert(block);
  return block;
}

HLOCAL LocalFree(HLOCAL memory) {
  if (!memory) return nullptr;
  auto& heap = Heap();
  {
    std::lock_guard lock(heap.mutex);
    if (heap.blocks.erase(memory) == 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return memory;
    }
  }
  std::free(memory);
  return nullptr;
}

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD size,
                     va_list*) {
  std::string text;
  if (!LookUp(flags, messageId, languageId, text)) return 0;
  return Deliver<char>(flags, text, buffer, size);
}

DWORD FormatMessageW(DWORD flags, LPCVOID, DWORD messageId, DWORD languageId, LPWSTR buffer, DWORD size,
                     va_list*) {
  std::string text;
  if (!LookUp(flags, messageId, languageId, text)) return 0;
  return Deliver<char16_t>(flags, qvplatform::Utf8ToUtf16Lossy(text), buffer, size);
}
