// Runs test code on a thread of its own inside new Linux namespaces (network, host name), so a
// test can shape the interfaces or the host name the code under test sees without touching the
// machine's. Needs the right to create namespaces (root or CAP_SYS_ADMIN).
#pragma once

#include <functional>
#include <string>

namespace qvtest {

// Runs `body` on a new thread after unshare(flags) (CLONE_NEWNET, CLONE_NEWUTS, ...). Returns
// false, without running it, when the namespaces cannot be created; `why` then says why.
bool RunInNewNamespaces(int flags, const std::function<void()>& body, std::string* why = nullptr);

// Runs a shell command (from the calling thread, so inside its namespaces); returns its exit status.
int Shell(const std::string& command);

}  // namespace qvtest
