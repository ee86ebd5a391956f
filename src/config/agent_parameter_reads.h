// Reads and writes of single agent parameters below HKEY_LOCAL_MACHINE, shared by the loaders of the
// agent parameters.
#pragma once

#include "config/agent_parameters.h"

// Reads a text value; on any failure the text is absent. Returns the read's code.
LONG ReadAgentText(const char* keyPath, const char* valueName, AgentText& text);
// Reads a 32-bit value; on failure `number` is set to `fallback`. Returns the read's code.
LONG ReadAgentNumber(const char* keyPath, const char* valueName, DWORD& number, DWORD fallback);
// Stores a REG_SZ value (the key is created when needed). Returns writeValue's code.
LONG WriteAgentText(const char* keyPath, const char* valueName, const char* data);

// Comparison of a text with a keyword ("yes", "http", "true") without regard to ASCII case; an absent
// text equals nothing.
bool EqualsNoCase(const AgentText& text, const char* keyword);
