#include "kernel32/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kernel32/command_line.h"
#include "kernel32/errors.h"
#include "kernel32/exit_code.h"
#include "kernel32/paths.h"
#include "kernel32/process_object.h"

extern char** environ;

namespace {

// The descriptor number the exit-code channel has in every child.
constexpr int kChildChannelFd = 3;
// Where the child keeps its end of the exec-error pipe until exec closes it.
constexpr int kChildErrorFd = 4;

constexpr DWORD kAcceptedFlags = CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE | DETACHED_PROCESS |
                                 CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS;

std::string Absolute(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  std::string cwd(PATH_MAX, '\0');
  if (getcwd(cwd.data(), cwd.size()) == nullptr) return path;
  cwd.resize(cwd.find('\0'));
  return cwd + "/" + path;
}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

struct Located {
  std::string path;
  DWORD error = ERROR_SUCCESS;
};

// Finds the program: a name with a separator is a path relative to the working directory;
// a bare name is looked for in the working directory, then in the directories of PATH.
Located FindProgram(const std::string& name, const std::string& workingDirectory, bool search) {
  if (name.empty()) return {"", ERROR_FILE_NOT_FOUND};
  if (name.find('/') != std::string::npos || !search) {
    const std::string path = name.front() == '/' ? name : workingDirectory + "/" + name;
    if (IsRegularFile(path)) return {path};
    return {"", qvplatform::PathErrorFromErrno(ENOENT, path)};
  }
  std::vector<std::string> folders{workingDirectory};
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest(path);
    while (!rest.empty()) {
      const size_t colon = rest.find(':');
      std::string folder(rest.substr(0, colon));
      if (!folder.empty()) folders.push_back(Absolute(folder));
      rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
  }
  for (const auto& folder : folders) {
    std::string candidate = folder + "/" + name;
    if (IsRegularFile(candidate)) return {candidate};
  }
  return {"", ERROR_FILE_NOT_FOUND};
}

// The caller's environment with the child's exit-code channel named in it.
std::vector<std::string> ChildEnvironment(int channelFd) {
  std::vector<std::string> entries;
  const std::string prefix = std::string(qvplatform::kExitCodeFdVariable) + "=";
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    if (std::string_view(*entry).substr(0, prefix.size()) != prefix) entries.emplace_back(*entry);
  }
  entries.push_back(prefix + std::to_string(channelFd));
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// What the child reports through the exec-error pipe when it cannot become the program.
struct ChildFailure {
  int stage;  // kStageDirectory or kStageExec
  int error;  // errno
};
constexpr int kStageDirectory = 1;
constexpr int kStageExec = 2;

[[noreturn]] void FailInChild(int errorFd, int stage) {
  ChildFailure failure{stage, errno};
  [[maybe_unused]] ssize_t ignored = write(errorFd, &failure, sizeof failure);
  _exit(127);
}

void CloseFrom(int first) {
  if (syscall(SYS_close_range, first, ~0U, 0) == 0) return;
  rlimit limit{};
  const int last = getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536
                       ? static_cast<int>(limit.rlim_cur)
                       : 65536;
  for (int fd = first; fd < last; ++fd) close(fd);
}

// Runs in the child between fork and exec: only async-signal-safe calls. Without inherited handles
// the channel becomes descriptor kChildChannelFd and everything above it is closed; with them the
// channel keeps its number, so no inherited descriptor is replaced.
[[noreturn]] void BecomeProgram(const char* path, char* const* argv, char* const* envp, const char* directory,
                                int channelWrite, int errorWrite, bool inheritHandles) {
  if (inheritHandles) {
    if (fcntl(channelWrite, F_SETFD, 0) < 0) FailInChild(errorWrite, kStageExec);
  } else {
    const int channel = fcntl(channelWrite, F_DUPFD, kChildErrorFd + 1);
    const int error = fcntl(errorWrite, F_DUPFD_CLOEXEC, kChildErrorFd + 1);
    if (channel < 0 || error < 0 || dup3(error, kChildErrorFd, O_CLOEXEC) < 0)
      FailInChild(errorWrite, kStageExec);
    errorWrite = kChildErrorFd;
    if (dup2(channel, kChildChannelFd) < 0) FailInChild(errorWrite, kStageExec);
    CloseFrom(kChildErrorFd + 1);
  }
  // Start the program with default signal handling, whatever this thread had blocked or ignored.
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  signal(SIGPIPE, SIG_DFL);
  if (directory != nullptr && chdir(directory) != 0) FailInChild(errorWrite, kStageDirectory);
  execve(path, argv, envp);
  FailInChild(errorWrite, kStageExec);
}

DWORD ErrorOfChildFailure(const ChildFailure& failure) {
  if (failure.stage == kStageDirectory && (failure.error == ENOENT || failure.error == ENOTDIR)) {
    return ERROR_DIRECTORY;
  }
  if (failure.error == ENOEXEC) return ERROR_BAD_EXE_FORMAT;
  return qvplatform::ErrnoToWin32(failure.error);
}

class Fd {
 public:
  Fd() = default;
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int* Slot() { return &fd_; }
  int get() const { return fd_; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

bool Pipe(Fd& readEnd, Fd& writeEnd) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  *readEnd.Slot() = fds[0];
  *writeEnd.Slot() = fds[1];
  return true;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                    BOOL inheritHandles, DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory,
                    LPSTARTUPINFOA startupInfo, LPPROCESS_INFORMATION processInformation) {
  if (processInformation == nullptr || startupInfo == nullptr || (creationFlags & ~kAcceptedFlags) != 0) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (environment != nullptr || (startupInfo->dwFlags & STARTF_USESTDHANDLES) != 0)
    return Fail(ERROR_NOT_SUPPORTED);
  std::vector<std::string> arguments;
  if (commandLine != nullptr) arguments = qvplatform::SplitCommandLine(commandLine);
  const bool named = applicationName != nullptr && *applicationName != '\0';
  if (!named && (arguments.empty() || arguments.front().empty())) return Fail(ERROR_INVALID_PARAMETER);
  if (arguments.empty()) arguments.emplace_back(applicationName);

  std::string directory;
  if (currentDirectory != nullptr) {
    directory = Absolute(qvplatform::ToNativePath(currentDirectory));
    if (!IsDirectory(directory)) return Fail(ERROR_DIRECTORY);
  } else {
    directory = Absolute(".");
  }
  const Located program = FindProgram(
      qvplatform::ToNativePath(named ? applicationName : arguments.front().c_str()), directory, !named);
  if (!program.path.empty() && access(program.path.c_str(), X_OK) != 0) return Fail(ERROR_ACCESS_DENIED);
  if (program.path.empty()) return Fail(program.error);

  Fd channelRead, channelWrite, errorRead, errorWrite;
  if (!Pipe(channelRead, channelWrite) || !Pipe(errorRead, errorWrite)) {
    return Fail(qvplatform::ErrnoToWin32(errno));
  }
  fcntl(channelRead.get(), F_SETFL, O_NONBLOCK);
  std::vector<std::string> environmentEntries =
      ChildEnvironment(inheritHandles != FALSE ? channelWrite.get() : kChildChannelFd);
  std::vector<char*> argv = Pointers(arguments);
  std::vector<char*> envp = Pointers(environmentEntries);

  const pid_t pid = fork();
  if (pid < 0) return Fail(qvplatform::ErrnoToWin32(errno));
  if (pid == 0) {
    BecomeProgram(program.path.c_str(), argv.data(), envp.data(),
                  currentDirectory ? directory.c_str() : nullptr, channelWrite.get(), errorWrite.get(),
                  inheritHandles != FALSE);
  }
  channelWrite.Reset();
  errorWrite.Reset();

  ChildFailure failure{};
  ssize_t n;
  do {
    n = read(errorRead.get(), &failure, sizeof failure);
  } while (n < 0 && errno == EINTR);
  if (n != 0) {
    // The child never became the program: collect it, and report why.
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    return Fail(n == static_cast<ssize_t>(sizeof failure) ? ErrorOfChildFailure(failure) : ERROR_GEN_FAILURE);
  }

  const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  auto process = std::make_shared<qvplatform::ProcessObject>(pid, pidFd, channelRead.Release());
  processInformation->hProcess = qvplatform::InsertHandle(process);
  processInformation->hThread = qvplatform::InsertHandle(std::make_shared<qvplatform::ThreadObject>(process));
  processInformation->dwProcessId = static_cast<DWORD>(pid);
  processInformation->dwThreadId = static_cast<DWORD>(pid);
  return TRUE;
}

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
  auto object = qvplatform::LookupHandle<qvplatform::ProcessObject>(process);
  if (!object) return FALSE;
  return object->Terminate(exitCode) ? TRUE : FALSE;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  if (exitCode == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  auto object = qvplatform::LookupHandle<qvplatform::ProcessObject>(process);
  if (!object) return FALSE;
  *exitCode = object->ExitCode().value_or(STILL_ACTIVE);
  return TRUE;
}
