// Service control: a service is the hive key HKLM\SYSTEM\CurrentControlSet\Services\<name>; a
// running service listens on the Unix-domain socket named by that key's REG_SZ value ControlSocket.
// ControlService connects there, sends the control code and reports the service's answer.
//
// The exchange is one line each way (ASCII, "\n"-terminated):
//   request   "CONTROL <code>"                   code in decimal
//   answers   "ACCEPTED <state> <accepted>"      the service's current state and the controls it
//                                                accepts (SERVICE_STATUS fields, decimal)
//             "REJECTED <error>"                 a system error code, usually 1052
// A service that does not answer within the key's REG_DWORD ControlTimeout milliseconds (default
// 30000) fails the call with ERROR_SERVICE_REQUEST_TIMEOUT.
#pragma once

#include <string>

#include "types.h"

struct SC_HANDLE__;
using SC_HANDLE = SC_HANDLE__*;
using LPSC_HANDLE = SC_HANDLE*;

// Service control manager rights.
constexpr DWORD SC_MANAGER_CONNECT = 0x0001;
constexpr DWORD SC_MANAGER_CREATE_SERVICE = 0x0002;
constexpr DWORD SC_MANAGER_ENUMERATE_SERVICE = 0x0004;
constexpr DWORD SC_MANAGER_LOCK = 0x0008;
constexpr DWORD SC_MANAGER_QUERY_LOCK_STATUS = 0x0010;
constexpr DWORD SC_MANAGER_MODIFY_BOOT_CONFIG = 0x0020;
constexpr DWORD SC_MANAGER_ALL_ACCESS = 0xF003F;

// Service rights.
constexpr DWORD SERVICE_QUERY_CONFIG = 0x0001;
constexpr DWORD SERVICE_CHANGE_CONFIG = 0x0002;
constexpr DWORD SERVICE_QUERY_STATUS = 0x0004;
constexpr DWORD SERVICE_ENUMERATE_DEPENDENTS = 0x0008;
constexpr DWORD SERVICE_START = 0x0010;
constexpr DWORD SERVICE_STOP = 0x0020;
constexpr DWORD SERVICE_PAUSE_CONTINUE = 0x0040;
constexpr DWORD SERVICE_INTERROGATE = 0x0080;
constexpr DWORD SERVICE_USER_DEFINED_CONTROL = 0x0100;
constexpr DWORD SERVICE_ALL_ACCESS = 0xF01FF;

// Control codes; 128 to 255 are the service's own.
constexpr DWORD SERVICE_CONTROL_STOP = 1;
constexpr DWORD SERVICE_CONTROL_PAUSE = 2;
constexpr DWORD SERVICE_CONTROL_CONTINUE = 3;
constexpr DWORD SERVICE_CONTROL_INTERROGATE = 4;
constexpr DWORD SERVICE_CONTROL_SHUTDOWN = 5;
constexpr DWORD SERVICE_CONTROL_PARAMCHANGE = 6;
constexpr DWORD SERVICE_CONTROL_NETBINDADD = 7;
constexpr DWORD SERVICE_CONTROL_NETBINDREMOVE = 8;
constexpr DWORD SERVICE_CONTROL_NETBINDENABLE = 9;
constexpr DWORD SERVICE_CONTROL_NETBINDDISABLE = 10;

// Service types and states of SERVICE_STATUS.
constexpr DWORD SERVICE_WIN32_OWN_PROCESS = 0x10;
constexpr DWORD SERVICE_STOPPED = 1;
constexpr DWORD SERVICE_START_PENDING = 2;
constexpr DWORD SERVICE_STOP_PENDING = 3;
constexpr DWORD SERVICE_RUNNING = 4;
constexpr DWORD SERVICE_CONTINUE_PENDING = 5;
constexpr DWORD SERVICE_PAUSE_PENDING = 6;
constexpr DWORD SERVICE_PAUSED = 7;
constexpr DWORD SERVICE_ACCEPT_STOP = 0x1;
constexpr DWORD SERVICE_ACCEPT_PAUSE_CONTINUE = 0x2;
constexpr DWORD SERVICE_ACCEPT_SHUTDOWN = 0x4;

struct SERVICE_STATUS {
  DWORD dwServiceType;
  DWORD dwCurrentState;
  DWORD dwControlsAccepted;
  DWORD dwWin32ExitCode;
  DWORD dwServiceSpecificExitCode;
  DWORD dwCheckPoint;
  DWORD dwWaitHint;
};
using LPSERVICE_STATUS = SERVICE_STATUS*;

// The local manager only: a machine name other than null, empty or this computer fails with
// ERROR_BAD_NETPATH; a database other than null or "ServicesActive" with ERROR_INVALID_NAME.
SC_HANDLE OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName, DWORD desiredAccess);
// ERROR_SERVICE_DOES_NOT_EXIST (1060) when the service key is absent; ERROR_INVALID_NAME for an
// empty name, one with a backslash or one longer than 256 characters; ERROR_INVALID_HANDLE for a
// handle that is not a manager.
SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess);
// Sends `control` and fills *status from the answer. Failures: ERROR_SERVICE_NOT_ACTIVE (1062) when
// the service has no control socket or nobody listens there; ERROR_INVALID_SERVICE_CONTROL (1052)
// (or the code the service names) when it rejects the control, with *status filled as for a
// running service; ERROR_SERVICE_REQUEST_TIMEOUT (1053) when it does not answer or answers
// garbage; ERROR_ACCESS_DENIED when the handle lacks the right the control needs
// (SERVICE_USER_DEFINED_CONTROL for 128-255, SERVICE_STOP, SERVICE_PAUSE_CONTINUE,
// SERVICE_INTERROGATE); ERROR_INVALID_PARAMETER for SERVICE_CONTROL_SHUTDOWN, a code that is not
// a control, or a null `status`.
BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);
BOOL CloseServiceHandle(SC_HANDLE handle);

namespace qvplatform {
// The hive key of a service, below HKEY_LOCAL_MACHINE.
std::string ServiceKeyPath(const std::string& serviceName);
}  // namespace qvplatform
