#include "kernel32/system_info.h"

#include <strings.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "advapi32/hive_values.h"
#include "kernel32/errors.h"
#include "kernel32/handles.h"

namespace {

constexpr const char* kEnvironment = R"(SYSTEM\CurrentControlSet\Control\Session Manager\Environment)";

struct ArchitectureName {
  const char* name;
  WORD architecture;
  DWORD processorType;
};

constexpr ArchitectureName kArchitectures[] = {
    {"x86", PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_INTEL_PENTIUM},
    {"AMD64", PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_AMD_X8664},
    {"ARM64", PROCESSOR_ARCHITECTURE_ARM64, 0},
    {"IA64", PROCESSOR_ARCHITECTURE_IA64, PROCESSOR_INTEL_IA64},
    {"ARM", PROCESSOR_ARCHITECTURE_ARM, 0},
};

// The Windows name of the machine's own architecture.
const char* MachineArchitecture() {
  utsname name{};
  if (uname(&name) != 0) return "";
  std::string machine = name.machine;
  if (machine == "x86_64") return "AMD64";
  if (machine == "aarch64") return "ARM64";
  if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") return "x86";
  if (machine.rfind("arm", 0) == 0) return "ARM";
  return "";
}

// Family and model of the first processor, as /proc/cpuinfo gives them (x86); zero elsewhere.
void ProcessorLevel(SYSTEM_INFO& info) {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  int family = -1, model = -1, stepping = -1;
  while (std::getline(cpuinfo, line) && !line.empty()) {
    auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string key = line.substr(0, line.find_last_not_of(" \t", colon - 1) + 1);
    int value = std::atoi(line.c_str() + colon + 1);
    if (key == "cpu family") family = value;
    if (key == "model") model = value;
    if (key == "stepping") stepping = value;
  }
  if (family >= 0) info.wProcessorLevel = static_cast<WORD>(family);
  if (model >= 0 && stepping >= 0) info.wProcessorRevision = static_cast<WORD>((model << 8) | (stepping & 0xFF));
}

}  // namespace

void GetNativeSystemInfo(LPSYSTEM_INFO info) {
  if (info == nullptr) return;
  *info = {};
  auto configured = qvplatform::ReadHiveText(HKEY_LOCAL_MACHINE, kEnvironment, "PROCESSOR_ARCHITECTURE");
  std::string architecture = configured ? *configured : MachineArchitecture();
  info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
  for (const auto& known : kArchitectures) {
    if (strcasecmp(known.name, architecture.c_str()) == 0) {
      info->wProcessorArchitecture = known.architecture;
      info->dwProcessorType = known.processorType;
    }
  }
  long pageSize = sysconf(_SC_PAGESIZE);
  info->dwPageSize = pageSize > 0 ? static_cast<DWORD>(pageSize) : 4096;
  info->dwAllocationGranularity = 65536;
  info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(static_cast<uintptr_t>(0x10000));
  info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(static_cast<uintptr_t>(0x00007FFFFFFEFFFFull));
  long processors = sysconf(_SC_NPROCESSORS_ONLN);
  info->dwNumberOfProcessors = processors > 0 ? static_cast<DWORD>(processors) : 1;
  const DWORD maskBits = sizeof(DWORD_PTR) * 8;
  info->dwActiveProcessorMask = info->dwNumberOfProcessors >= maskBits
                                    ? ~static_cast<DWORD_PTR>(0)
                                    : (static_cast<DWORD_PTR>(1) << info->dwNumberOfProcessors) - 1;
  ProcessorLevel(*info);
}

void GetSystemInfo(LPSYSTEM_INFO info) { GetNativeSystemInfo(info); }

BOOL IsWow64Process(HANDLE process, PBOOL wow64Process) {
  const HANDLE currentProcess = INVALID_HANDLE_VALUE;  // the pseudo handle of GetCurrentProcess
  if (process != currentProcess && !qvplatform::LookupObject(process)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (wow64Process == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *wow64Process = FALSE;
  return TRUE;
}
