// Runs a command line as a new process with a time limit, and removes folders recursively.
#pragma once

#include <string>

#include "win32.h"

// Starts the command line in the working directory (none: inherited), waits at most the time limit
// in minutes (0: no wait) and returns the exit code, 258 after the time limit (the process is then
// terminated), or the system error code of the step that failed. `remark` (when given) receives the
// text of the result code.
DWORD execute(const char* workingDirectory, const char* commandLine, std::string* remark, DWORD timeLimitMinutes,
              bool showWindow);
// execute, with the installer success codes 0, 1508, 1641 and 3010 returned as 0.
DWORD ExecuteInstaller(const char* workingDirectory, const char* commandLine, std::string* remark,
                       DWORD timeLimitMinutes, bool showWindow);
// 1 when the folder and everything in it were removed, else 0.
int DeleteDirectoryRecursively(const char* folder);
