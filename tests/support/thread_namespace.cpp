#include "support/thread_namespace.h"

#include <sched.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace qvtest {

bool RunInNewNamespaces(int flags, const std::function<void()>& body, std::string* why) {
  bool entered = false;
  std::thread worker([&] {
    if (unshare(flags) != 0) {
      if (why) *why = std::string("unshare: ") + std::strerror(errno);
      return;
    }
    entered = true;
    body();
  });
  worker.join();
  return entered;
}

int Shell(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace qvtest
