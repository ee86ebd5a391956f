#include "shlwapi/strings.h"

#include <cctype>
#include <cstring>

BOOL StrTrimA(LPSTR text, LPCSTR trimChars) {
  if (!text || !trimChars) return FALSE;
  size_t length = std::strlen(text);
  size_t start = 0;
  while (start < length && std::strchr(trimChars, text[start])) ++start;
  size_t end = length;
  while (end > start && std::strchr(trimChars, text[end - 1])) --end;
  if (start == 0 && end == length) return FALSE;
  std::memmove(text, text + start, end - start);
  text[end - start] = '\0';
  return TRUE;
}

LPSTR StrStrIA(LPCSTR text, LPCSTR search) {
  if (!text || !search) return nullptr;
  size_t searchLength = std::strlen(search);
  for (const char* at = text; *at; ++at) {
    size_t i = 0;
    while (i < searchLength && at[i] &&
           std::tolower(static_cast<unsigned char>(at[i])) == std::tolower(static_cast<unsigned char>(search[i])))
      ++i;
    if (i == searchLength) return const_cast<LPSTR>(at);
  }
  return nullptr;
}
