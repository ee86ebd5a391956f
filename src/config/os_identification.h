// Which Windows the agent runs on: a family code, the Windows 7/8 question of the HTTP layer, and a
// readable name with edition and architecture.
#pragma once

#include <optional>
#include <string>

#include "win32.h"

// 0 Windows 2000; 1 XP and Server 2003, also when the version cannot be read; 2 Vista/2008; 3 7/2008 R2;
// 4 8/2012; 5 8.1/2012 R2; 6 10/2016 and later; 7 any other NT version above 4; -1 not an NT system
// or NT 4 and older.
int GetOsFamily();
// 1 for families 3 and 4 (Windows 6.1 and 6.2), else 0. Logs the system's name at DEBUG.
int isWin7orWin8();
// The system's name, for example "Windows 10 Professional Edition (x64)" (at most 99 characters);
// nullopt when the version cannot be read. Major and minor both 0 name the running version; other
// values replace it in the name.
std::optional<std::string> GetOSNameEx(DWORD major, DWORD minor);
// 0 with ReleaseId of the CurrentVersion key (the 64-bit view under WOW64), or "1507" for build
// 10240; 1 with "unknown" otherwise.
int getOSVersionFromReg(DWORD buildNumber, std::string& version);
