// Starting programs, waiting for them, ending them and reading their exit codes.
#pragma once

#include "types.h"

struct STARTUPINFOA {
  DWORD cb;
  LPSTR lpReserved;
  LPSTR lpDesktop;
  LPSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};
using LPSTARTUPINFOA = STARTUPINFOA*;

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

constexpr DWORD STARTF_USESHOWWINDOW = 0x00000001;
constexpr DWORD STARTF_USESTDHANDLES = 0x00000100;
constexpr WORD SW_HIDE = 0;
constexpr WORD SW_SHOWNORMAL = 1;

constexpr DWORD DEBUG_PROCESS = 0x00000001;
constexpr DWORD CREATE_SUSPENDED = 0x00000004;
constexpr DWORD DETACHED_PROCESS = 0x00000008;
constexpr DWORD CREATE_NEW_CONSOLE = 0x00000010;
constexpr DWORD NORMAL_PRIORITY_CLASS = 0x00000020;
constexpr DWORD CREATE_UNICODE_ENVIRONMENT = 0x00000400;
constexpr DWORD CREATE_DEFAULT_ERROR_MODE = 0x04000000;
constexpr DWORD CREATE_NO_WINDOW = 0x08000000;

constexpr DWORD STILL_ACTIVE = 259;

// Starts the program named by the first argument of `commandLine` (split as Windows does; see
// kernel32/command_line.h) with the remaining arguments, in `currentDirectory` (a Windows or POSIX
// path; null: the caller's), with the caller's environment.
// - The program is looked up first in the new process's working directory, then in the directories
//   of PATH; a name with a separator is a path (relative to that working directory). The name is
//   taken literally: no extension is added, so `setup.exe` may be an executable script.
// - `applicationName`, when given, is the program's path and is not searched for.
// - bInheritHandles FALSE: the child gets only standard input, output and error, plus the
//   exit-code channel (kernel32/exit_code.h). TRUE: every descriptor not marked close-on-exec.
// - Creation flags: CREATE_NO_WINDOW, CREATE_DEFAULT_ERROR_MODE, DETACHED_PROCESS,
//   CREATE_NEW_CONSOLE and NORMAL_PRIORITY_CLASS are accepted (there are no consoles or windows);
//   others fail with ERROR_INVALID_PARAMETER. An environment block and STARTF_USESTDHANDLES fail with
//   ERROR_NOT_SUPPORTED.
// On success fills `processInformation` with a process handle and a thread handle (both waitable
// until the program ends) and the process id (also the id of its first thread).
// Failures: ERROR_INVALID_PARAMETER (no command line, no program, null out-pointers),
// ERROR_FILE_NOT_FOUND (program not found), ERROR_PATH_NOT_FOUND (a path's folder does not exist),
// ERROR_DIRECTORY (the working directory is not a directory), ERROR_ACCESS_DENIED (not executable),
// ERROR_BAD_EXE_FORMAT (not a format the system can run).
BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation);

// Ends that process only (never its process group or its children) with `exitCode` as its exit
// code. Termination is asynchronous: wait on the handle to see it ended. FALSE with
// ERROR_ACCESS_DENIED when the process has already ended.
BOOL TerminateProcess(HANDLE process, UINT exitCode);

// STILL_ACTIVE while the process runs; afterwards its exit code (kernel32/exit_code.h).
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
