// Processor and memory facts of the system, and the WOW64 question.
#pragma once

#include "types.h"

constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
constexpr WORD PROCESSOR_ARCHITECTURE_ARM = 5;
constexpr WORD PROCESSOR_ARCHITECTURE_IA64 = 6;
constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;
constexpr WORD PROCESSOR_ARCHITECTURE_ARM64 = 12;
constexpr WORD PROCESSOR_ARCHITECTURE_UNKNOWN = 0xFFFF;

constexpr DWORD PROCESSOR_INTEL_386 = 386;
constexpr DWORD PROCESSOR_INTEL_486 = 486;
constexpr DWORD PROCESSOR_INTEL_PENTIUM = 586;
constexpr DWORD PROCESSOR_INTEL_IA64 = 2200;
constexpr DWORD PROCESSOR_AMD_X8664 = 8664;

struct SYSTEM_INFO {
  union {
    DWORD dwOemId;
    struct {
      WORD wProcessorArchitecture;
      WORD wReserved;
    };
  };
  DWORD dwPageSize;
  LPVOID lpMinimumApplicationAddress;
  LPVOID lpMaximumApplicationAddress;
  DWORD_PTR dwActiveProcessorMask;
  DWORD dwNumberOfProcessors;
  DWORD dwProcessorType;
  DWORD dwAllocationGranularity;
  WORD wProcessorLevel;
  WORD wProcessorRevision;
};
using LPSYSTEM_INFO = SYSTEM_INFO*;

// The processor architecture is that of the emulated Windows: the REG_SZ PROCESSOR_ARCHITECTURE of
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment ("x86", "AMD64", "ARM64",
// "IA64", "ARM"; another text gives PROCESSOR_ARCHITECTURE_UNKNOWN); when the hive cannot be read,
// the machine's own. Processor count, page size and the processor's family and model are the
// machine's. A process is never under WOW64, so both calls report the same.
void GetNativeSystemInfo(LPSYSTEM_INFO systemInfo);
void GetSystemInfo(LPSYSTEM_INFO systemInfo);

// Always *wow64Process = FALSE: a Linux process is never a 32-bit process on a 64-bit Windows.
// `process` must be the current-process pseudo handle or a handle of the table (else
// ERROR_INVALID_HANDLE); a null `wow64Process` fails with ERROR_INVALID_PARAMETER.
BOOL IsWow64Process(HANDLE process, PBOOL wow64Process);
