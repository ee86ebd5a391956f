#include "advapi32/service_control.h"

#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "advapi32/hive_values.h"
#include "kernel32/computer_name.h"
#include "kernel32/conversions.h"
#include "kernel32/errors.h"
#include "kernel32/handles.h"

namespace {

constexpr DWORD kDefaultTimeoutMs = 30000;
constexpr size_t kMaxServiceName = 256;

class ServiceManager : public qvplatform::KernelObject {};

class Service : public qvplatform::KernelObject {
 public:
  Service(std::string name, DWORD access) : name(std::move(name)), access(access) {}
  std::string name;
  DWORD access;
};

SC_HANDLE ToScHandle(HANDLE handle) { return reinterpret_cast<SC_HANDLE>(handle); }
HANDLE ToHandle(SC_HANDLE handle) { return reinterpret_cast<HANDLE>(handle); }

SC_HANDLE Fail(DWORD code) {
  SetLastError(code);
  return nullptr;
}

BOOL FailBool(DWORD code) {
  SetLastError(code);
  return FALSE;
}

// The right a control needs, or 0 for a code that cannot be sent.
DWORD RequiredRight(DWORD control) {
  if (control >= 128 && control <= 255) return SERVICE_USER_DEFINED_CONTROL;
  switch (control) {
    case SERVICE_CONTROL_STOP:
      return SERVICE_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
    case SERVICE_CONTROL_PARAMCHANGE:
    case SERVICE_CONTROL_NETBINDADD:
    case SERVICE_CONTROL_NETBINDREMOVE:
    case SERVICE_CONTROL_NETBINDENABLE:
    case SERVICE_CONTROL_NETBINDDISABLE:
      return SERVICE_PAUSE_CONTINUE;
    case SERVICE_CONTROL_INTERROGATE:
      return SERVICE_INTERROGATE;
    default:
      return 0;
  }
}

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) close(fd);
  }
};

// Connects to the service's socket: ERROR_SUCCESS, or the code ControlService reports.
DWORD Connect(const std::string& path, int& fd) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return ERROR_SERVICE_NOT_ACTIVE;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return qvplatform::ErrnoToWin32(errno);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return ERROR_SUCCESS;
  switch (errno) {
    case ENOENT:
    case ECONNREFUSED:
    case ENOTSOCK:
    case ENOTDIR:
      return ERROR_SERVICE_NOT_ACTIVE;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    default:
      return qvplatform::ErrnoToWin32(errno);
  }
}

// Reads one answer line within the time limit; false when none came.
bool ReadAnswer(int fd, DWORD timeoutMs, std::string& line) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  char chunk[128];
  while (line.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd waiting{fd, POLLIN, 0};
    int ready = poll(&waiting, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    ssize_t got = recv(fd, chunk, sizeof chunk, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    line.append(chunk, static_cast<size_t>(got));
    if (line.size() > 1024) return false;
  }
  line.resize(line.find('\n'));
  return true;
}

// The words of an answer line, split at single spaces (an empty word where two spaces meet).
std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  for (size_t start = 0;;) {
    size_t space = line.find(' ', start);
    words.push_back(line.substr(start, space == std::string_view::npos ? space : space - start));
    if (space == std::string_view::npos) return words;
    start = space + 1;
  }
}

// A decimal DWORD: digits only, no sign, nothing after them, no overflow.
bool ParseDword(std::string_view text, DWORD& value) {
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  return !text.empty() && error == std::errc() && stop == end;
}

}  // namespace

namespace qvplatform {
std::string ServiceKeyPath(const std::string& serviceName) {
  return R"(SYSTEM\CurrentControlSet\Services\)" + serviceName;
}
}  // namespace qvplatform

SC_HANDLE OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName, DWORD) {
  if (machineName && !qvplatform::IsLocalComputer(qvplatform::Utf16ToUtf8Lossy(machineName))) {
    return Fail(ERROR_BAD_NETPATH);
  }
  if (databaseName && strcasecmp(qvplatform::Utf16ToUtf8Lossy(databaseName).c_str(), "ServicesActive") != 0) {
    return Fail(ERROR_INVALID_NAME);
  }
  return ToScHandle(qvplatform::InsertHandle(std::make_shared<ServiceManager>()));
}

SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess) {
  if (!qvplatform::LookupHandle<ServiceManager>(ToHandle(manager))) return nullptr;
  if (serviceName == nullptr) return Fail(ERROR_INVALID_ADDRESS);
  auto name = qvplatform::Utf16ToUtf8(serviceName);
  std::u16string_view wide(serviceName);
  if (!name || wide.empty() || wide.size() > kMaxServiceName || name->find_first_of("\\/") != std::string::npos) {
    return Fail(ERROR_INVALID_NAME);
  }
  LSTATUS exists = qvplatform::HiveKeyExists(HKEY_LOCAL_MACHINE, qvplatform::ServiceKeyPath(*name));
  if (exists == ERROR_FILE_NOT_FOUND) return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
  if (exists != ERROR_SUCCESS) return Fail(static_cast<DWORD>(exists));
  return ToScHandle(qvplatform::InsertHandle(std::make_shared<Service>(*name, desiredAccess)));
}

BOOL ControlService(SC_HANDLE handle, DWORD control, LPSERVICE_STATUS status) {
  auto service = qvplatform::LookupHandle<Service>(ToHandle(handle));
  if (!service) return FALSE;
  DWORD right = RequiredRight(control);
  if (right == 0 || status == nullptr) return FailBool(ERROR_INVALID_PARAMETER);
  if ((service->access & right) != right) return FailBool(ERROR_ACCESS_DENIED);

  const std::string key = qvplatform::ServiceKeyPath(service->name);
  auto socketPath = qvplatform::ReadHiveText(HKEY_LOCAL_MACHINE, key, "ControlSocket");
  if (!socketPath) {
    DWORD error = static_cast<DWORD>(socketPath.error);
    if (qvplatform::HiveKeyExists(HKEY_LOCAL_MACHINE, key) == ERROR_FILE_NOT_FOUND) {
      return FailBool(ERROR_SERVICE_DOES_NOT_EXIST);
    }
    return FailBool(error == ERROR_FILE_NOT_FOUND || error == ERROR_INVALID_DATA ? ERROR_SERVICE_NOT_ACTIVE : error);
  }
  auto timeout = qvplatform::ReadHiveDword(HKEY_LOCAL_MACHINE, key, "ControlTimeout");

  FdCloser connection{-1};
  if (DWORD code = Connect(*socketPath, connection.fd); code != ERROR_SUCCESS) return FailBool(code);
  std::string request = "CONTROL " + std::to_string(control) + "\n";
  if (send(connection.fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
    return FailBool(ERROR_SERVICE_REQUEST_TIMEOUT);
  }
  std::string answer;
  if (!ReadAnswer(connection.fd, timeout ? *timeout : kDefaultTimeoutMs, answer)) {
    return FailBool(ERROR_SERVICE_REQUEST_TIMEOUT);
  }

  std::vector<std::string_view> words = Words(answer);
  DWORD state = 0, accepted = 0, error = 0;
  *status = {};
  status->dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  if (words.size() == 3 && words[0] == "ACCEPTED" && ParseDword(words[1], state) &&
      ParseDword(words[2], accepted)) {
    status->dwCurrentState = state;
    status->dwControlsAccepted = accepted;
    return TRUE;
  }
  if (words.size() == 2 && words[0] == "REJECTED" && ParseDword(words[1], error) && error != 0) {
    status->dwCurrentState = SERVICE_RUNNING;
    return FailBool(error);
  }
  return FailBool(ERROR_SERVICE_REQUEST_TIMEOUT);
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
  HANDLE key = ToHandle(handle);
  if (!qvplatform::LookupHandle<Service>(key) && !qvplatform::LookupHandle<ServiceManager>(key)) {
    return FailBool(ERROR_INVALID_HANDLE);
  }
  qvplatform::RemoveHandle(key);
  return TRUE;
}
