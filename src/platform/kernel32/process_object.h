// The objects behind process and thread handles.
#pragma once

#include <sys/types.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "kernel32/handles.h"

namespace qvplatform {

// A child process started by CreateProcessA. It owns the child: it reaps it once it has ended, and
// a child still running when the last handle goes is reaped in the background, so none is left as
// a zombie.
class ProcessObject : public KernelObject {
 public:
  // `pidFd`: a pidfd for the child, or -1 (waits then poll). `channel`: the read end of the
  // exit-code pipe, non-blocking, or -1.
  ProcessObject(pid_t pid, int pidFd, int channel);
  ~ProcessObject() override;
  ProcessObject(const ProcessObject&) = delete;
  ProcessObject& operator=(const ProcessObject&) = delete;

  pid_t pid() const { return pid_; }
  DWORD Wait(DWORD milliseconds) override;
  // The exit code once the process has ended, else nullopt.
  std::optional<DWORD> ExitCode();
  // Sends SIGKILL to the process alone; false with the last error set when it cannot.
  bool Terminate(DWORD exitCode);

 private:
  // With mutex_ held: reaps the child when it has ended.
  bool Ended();
  // With mutex_ held: takes what the child has written to the channel so far, so that a child
  // writing more than the pipe holds is not blocked.
  void DrainChannel();
  std::optional<DWORD> Report();
  DWORD CodeFromStatus(int status);

  const pid_t pid_;
  const int pidFd_;
  const int channel_;
  std::mutex mutex_;
  std::string report_;
  bool reportTooLong_ = false;
  bool channelClosed_ = false;  // every writer has closed it
  std::optional<DWORD> exitCode_;
  std::optional<DWORD> terminateCode_;
};

// The first thread of a child process: waits and ends with it.
class ThreadObject : public KernelObject {
 public:
  explicit ThreadObject(std::shared_ptr<ProcessObject> process) : process_(std::move(process)) {}
  DWORD Wait(DWORD milliseconds) override { return process_->Wait(milliseconds); }

 private:
  std::shared_ptr<ProcessObject> process_;
};

}  // namespace qvplatform
