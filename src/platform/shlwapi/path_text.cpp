#include "shlwapi/path_text.h"

LPSTR PathFindExtensionA(LPCSTR path) {
  if (!path) return nullptr;
  const char* dot = nullptr;
  const char* at = path;
  for (; *at; ++at) {
    if (*at == '.')
      dot = at;
    else if (*at == '\\' || *at == '/' || *at == ' ')
      dot = nullptr;
  }
  return const_cast<LPSTR>(dot ? dot : at);
}
