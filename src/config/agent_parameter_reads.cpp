#include "config/agent_parameter_reads.h"

#include <strings.h>

#include "config/registry_access.h"

LONG ReadAgentText(const char* keyPath, const char* valueName, AgentText& text) {
  LONG code = ReadRegSZ(HKEY_LOCAL_MACHINE, keyPath, valueName, text);
  if (code != ERROR_SUCCESS) text.reset();
  return code;
}

LONG ReadAgentNumber(const char* keyPath, const char* valueName, DWORD& number, DWORD fallback) {
  DWORD value = 0;
  LONG code = ReadDwordRegistryData(HKEY_LOCAL_MACHINE, keyPath, valueName, &value);
  number = code == ERROR_SUCCESS ? value : fallback;
  return code;
}

LONG WriteAgentText(const char* keyPath, const char* valueName, const char* data) {
  return writeValue(HKEY_LOCAL_MACHINE, keyPath, valueName, data, REG_SZ);
}

bool EqualsNoCase(const AgentText& text, const char* keyword) {
  return text && strcasecmp(text->c_str(), keyword) == 0;
}
