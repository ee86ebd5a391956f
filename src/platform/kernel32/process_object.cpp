#include "kernel32/process_object.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <string>
#include <thread>

#include "kernel32/errors.h"
#include "kernel32/exit_code.h"

namespace qvplatform {

namespace {

// Longer reports than this are not a number the child meant to send.
constexpr size_t kMaxReport = 32;

}  // namespace

ProcessObject::ProcessObject(pid_t pid, int pidFd, int channel)
    : pid_(pid), pidFd_(pidFd), channel_(channel) {}

ProcessObject::~ProcessObject() {
  if (!exitCode_) {
    if (waitpid(pid_, nullptr, WNOHANG) == 0) {
      // Still running: reap it whenever it ends.
      const pid_t pid = pid_;
      try {
        std::thread([pid] {
          while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
          }
        }).detach();
      } catch (...) {
        // No thread to spare: the child stays a zombie until this process ends.
      }
    }
  }
  if (pidFd_ >= 0) close(pidFd_);
  if (channel_ >= 0) close(channel_);
}

void ProcessObject::DrainChannel() {
  if (channel_ < 0 || channelClosed_) return;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(channel_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) channelClosed_ = true;
    if (n <= 0) return;
    // Keep a report only while it can still be a number; the rest is read and dropped.
    if (report_.size() + static_cast<size_t>(n) > kMaxReport) reportTooLong_ = true;
    if (!reportTooLong_) report_.append(buffer, static_cast<size_t>(n));
  }
}

std::optional<DWORD> ProcessObject::Report() {
  DrainChannel();
  if (reportTooLong_) return std::nullopt;
  return ParseExitCodeReport(report_);
}

DWORD ProcessObject::CodeFromStatus(int status) {
  if (WIFSIGNALED(status)) {
    if (terminateCode_ && WTERMSIG(status) == SIGKILL) return *terminateCode_;
    if (auto reported = Report()) return *reported;
    return ExitCodeForSignal(WTERMSIG(status));
  }
  if (auto reported = Report()) return *reported;
  return static_cast<DWORD>(WEXITSTATUS(status));
}

bool ProcessObject::Ended() {
  if (exitCode_) return true;
  int status = 0;
  pid_t result;
  do {
    result = waitpid(pid_, &status, WNOHANG);
  } while (result < 0 && errno == EINTR);
  if (result == pid_) {
    exitCode_ = CodeFromStatus(status);
  } else if (result < 0) {
    // Reaped elsewhere (or SIGCHLD ignored): the status is lost; only a report can tell.
    exitCode_ = Report().value_or(ERROR_INVALID_FUNCTION);
  }
  return exitCode_.has_value();
}

DWORD ProcessObject::Wait(DWORD milliseconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (Ended()) return WAIT_OBJECT_0;
    }
    int timeout = -1;
    if (milliseconds != INFINITE) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return WAIT_TIMEOUT;
      timeout = static_cast<int>(std::min<long long>(left, INT_MAX));
    }
    bool watchChannel;
    {
      std::lock_guard lock(mutex_);
      DrainChannel();
      watchChannel = channel_ >= 0 && !channelClosed_;
    }
    // The pidfd turns readable once the child has ended; the channel when it has written. EINTR
    // just loops.
    if (pidFd_ >= 0) {
      pollfd entries[2] = {{pidFd_, POLLIN, 0}, {channel_, POLLIN, 0}};
      poll(entries, watchChannel ? 2 : 1, timeout);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(timeout < 0 ? 10 : std::min(timeout, 10)));
    }
  }
}

std::optional<DWORD> ProcessObject::ExitCode() {
  std::lock_guard lock(mutex_);
  DrainChannel();
  Ended();
  return exitCode_;
}

bool ProcessObject::Terminate(DWORD exitCode) {
  std::lock_guard lock(mutex_);
  if (Ended()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (kill(pid_, SIGKILL) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  terminateCode_ = exitCode;
  return true;
}

}  // namespace qvplatform
