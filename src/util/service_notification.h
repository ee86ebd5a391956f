// Notifications to the agent's service: a user-defined control code delivered through the service
// control manager.
#pragma once

#include "win32.h"

// The control code the agent sends after a new resource identifier has been stored.
inline constexpr DWORD kResourceIdChangedControl = 147;

// 1 when the service accepted the control code, else 0.
int SendServiceMsg(DWORD controlCode, const char16_t* serviceName);
// SendServiceMsg to the service named by AgentServiceName; 0 when that name is missing.
int NotifyAgentService(DWORD controlCode);
