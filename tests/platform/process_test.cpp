#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "support/temp_dir.h"
#include "win32.h"

namespace {

constexpr DWORD kTestWaitLimit = 20000;

void WriteProgram(const std::filesystem::path& file, const std::string& body, mode_t mode = 0755) {
  std::filesystem::create_directories(file.parent_path());
  qvtest::WriteFileBytes(file, "#!/bin/bash\n" + body + "\n");
  chmod(file.c_str(), mode);
}

struct Started {
  BOOL ok = FALSE;
  DWORD error = 0;
  PROCESS_INFORMATION info{};
};

Started Start(std::string commandLine, const char* directory, BOOL inheritHandles = FALSE) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  Started started;
  SetLastError(0xdeadbeef);
  started.ok = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, inheritHandles,
                              CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE, nullptr, directory, &startup,
                              &started.info);
  started.error = GetLastError();
  return started;
}

// Writes `body` as dir/setup.exe and starts it there.
Started StartSetup(const qvtest::TempDir& dir, const std::string& body) {
  WriteProgram(dir / "setup.exe", body);
  return Start("setup.exe", dir.str().c_str());
}

void Close(const PROCESS_INFORMATION& info) {
  EXPECT_TRUE(CloseHandle(info.hThread));
  EXPECT_TRUE(CloseHandle(info.hProcess));
}

// Runs to the end and returns the exit code.
DWORD RunToEnd(const std::string& commandLine, const std::string& directory) {
  Started started = Start(commandLine, directory.c_str());
  EXPECT_TRUE(started.ok) << commandLine << " error " << started.error;
  if (!started.ok) return 0xdeadbeef;
  EXPECT_EQ(WaitForSingleObject(started.info.hProcess, kTestWaitLimit), WAIT_OBJECT_0);
  DWORD code = 0xdeadbeef;
  EXPECT_TRUE(GetExitCodeProcess(started.info.hProcess, &code));
  Close(started.info);
  return code;
}

bool IsAlive(pid_t pid) {
  return kill(pid, 0) == 0;
}

// Children of this process that have ended and were never collected.
std::set<pid_t> ZombieChildren() {
  std::set<pid_t> zombies;
  DIR* proc = opendir("/proc");
  while (dirent* entry = proc ? readdir(proc) : nullptr) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t paren = line.rfind(')');
    if (paren == std::string::npos) continue;
    std::istringstream rest(line.substr(paren + 2));
    char state = 0;
    pid_t parent = 0;
    rest >> state >> parent;
    if (state == 'Z' && parent == getpid()) zombies.insert(pid);
  }
  if (proc) closedir(proc);
  return zombies;
}

bool EventuallyNoZombies() {
  for (int i = 0; i < 200; ++i) {
    if (ZombieChildren().empty()) return true;
    Sleep(25);
  }
  return false;
}

TEST(Process, ExitCodeComesFromTheChannelOrTheExitStatus) {
  qvtest::TempDir dir;
  struct Case {
    const char* name;
    const char* body;
    DWORD code;
  };
  const Case cases[] = {
      {"plain zero", "exit 0", 0},
      {"plain status", "exit 42", 42},
      {"3010 reported", "printf %s 3010 >&\"$QVAGENT_EXIT_CODE_FD\"; exit 194", 3010},
      {"1603 with line end", "echo 1603 >&\"$QVAGENT_EXIT_CODE_FD\"; exit 67", 1603},
      {"17025 reported", "printf %s 17025 >&\"$QVAGENT_EXIT_CODE_FD\"; exit 129", 17025},
      {"all bits unsigned", "printf %s 4294967295 >&\"$QVAGENT_EXIT_CODE_FD\"; exit 255", 0xFFFFFFFF},
      {"all bits signed", "printf %s -1 >&\"$QVAGENT_EXIT_CODE_FD\"; exit 255", 0xFFFFFFFF},
      {"zero reported over a status", "printf %s 0 >&\"$QVAGENT_EXIT_CODE_FD\"; exit 3", 0},
      {"garbage", "printf %s 12abc >&\"$QVAGENT_EXIT_CODE_FD\"; exit 5", 5},
      {"too large", "printf %s 4294967296 >&\"$QVAGENT_EXIT_CODE_FD\"; exit 9", 9},
      {"two reports", "echo 3010 >&\"$QVAGENT_EXIT_CODE_FD\"; echo 1603 >&\"$QVAGENT_EXIT_CODE_FD\"; exit 6",
       6},
      {"too much", "head -c 100000 /dev/zero | tr '\\0' 7 >&\"$QVAGENT_EXIT_CODE_FD\"; exit 8", 8},
      {"killed by a signal", "kill -TERM $$", qvplatform::ExitCodeForSignal(SIGTERM)},
      {"killed hard", "kill -KILL $$", qvplatform::ExitCodeForSignal(SIGKILL)},
      {"reported before the signal", "printf %s 3010 >&\"$QVAGENT_EXIT_CODE_FD\"; kill -KILL $$", 3010},
      {"channel is descriptor 3", "[ \"$QVAGENT_EXIT_CODE_FD\" = 3 ] && [ -p /dev/fd/3 ] || exit 1; exit 0",
       0},
  };
  for (const auto& c : cases) {
    WriteProgram(dir / "setup.exe", c.body);
    EXPECT_EQ(RunToEnd("setup.exe /q", dir.str()), c.code) << c.name;
  }
  EXPECT_TRUE(EventuallyNoZombies());
}

TEST(Process, ChildSeesItsArgumentsAndWorkingDirectory) {
  qvtest::TempDir dir;
  WriteProgram(dir / "pack" / "setup.exe",
               "{ pwd; for a in \"$0\" \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > ../seen.txt");
  const std::string directory = (dir / "pack").string();
  EXPECT_EQ(RunToEnd("setup.exe /q /ACTION=Patch \"two words\" a\\\"b C:\\dir\\", directory), 0u);
  EXPECT_EQ(qvtest::ReadFileBytes(dir / "seen.txt"),
            directory + "\n[" + directory +
                "/setup.exe]\n[/q]\n[/ACTION=Patch]\n[two words]\n[a\"b]\n[C:\\dir\\]\n");
}

TEST(Process, FindsTheProgramInTheWorkingDirectoryBeforePath) {
  qvtest::TempDir dir;
  WriteProgram(dir / "work" / "tool", "exit 11");
  WriteProgram(dir / "bin" / "tool", "exit 22");
  WriteProgram(dir / "work" / "sub dir" / "deep.exe", "exit 33");
  WriteProgram(dir / "drives" / "D" / "work" / "Pack" / "setup.exe", "exit 44");
  std::filesystem::create_directories(dir / "elsewhere");
  qvtest::ScopedEnv path("PATH", (dir / "bin").string() + ":" + std::getenv("PATH"));
  qvtest::ScopedEnv drives(qvplatform::kDrivesRootVariable, (dir / "drives").string());
  struct Case {
    std::string commandLine;
    std::string directory;
    DWORD code;
  };
  const Case cases[] = {
      {"tool", (dir / "work").string(), 11},
      {"tool", (dir / "elsewhere").string(), 22},
      {"\"sub dir\\deep.exe\" x", (dir / "work").string(), 33},
      {"\"" + (dir / "bin" / "tool").string() + "\"", (dir / "work").string(), 22},
      {"true", (dir / "elsewhere").string(), 0},
      {"setup.exe /q", "D:\\work\\Pack", 44},
      {"D:\\work\\Pack\\setup.exe", (dir / "elsewhere").string(), 44},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunToEnd(c.commandLine, c.directory), c.code) << c.commandLine << " in " << c.directory;
  }
}

TEST(Process, StartFailures) {
  qvtest::TempDir dir;
  WriteProgram(dir / "plain.exe", "exit 0", 0644);
  qvtest::WriteFileBytes(dir / "noformat.exe", "exit 3\n");
  chmod((dir / "noformat.exe").c_str(), 0755);
  qvtest::WriteFileBytes(dir / "broken.exe", std::string("\x7f"
                                                         "ELF\x02\x01\x01",
                                                         7) +
                                                 std::string(64, '\0'));
  chmod((dir / "broken.exe").c_str(), 0755);
  WriteProgram(dir / "ok.exe", "exit 0");
  qvtest::WriteFileBytes(dir / "file", "x");
  struct Case {
    const char* name;
    std::string commandLine;
    std::string directory;  // empty: none given
    DWORD error;
  };
  const Case cases[] = {
      {"unknown program", "qv-no-such-program-anywhere /q", dir.str(), ERROR_FILE_NOT_FOUND},
      {"folder of a path missing", "nodir\\ok.exe", dir.str(), ERROR_PATH_NOT_FOUND},
      {"working directory missing", "ok.exe", (dir / "missing").string(), ERROR_DIRECTORY},
      {"working directory is a file", "ok.exe", (dir / "file").string(), ERROR_DIRECTORY},
      {"not executable", "plain.exe", dir.str(), ERROR_ACCESS_DENIED},
      {"no known format", "noformat.exe", dir.str(), ERROR_BAD_EXE_FORMAT},
      {"damaged executable", "broken.exe", dir.str(), ERROR_BAD_EXE_FORMAT},
      {"empty command line", "", dir.str(), ERROR_INVALID_PARAMETER},
      {"blank command line", "   ", dir.str(), ERROR_INVALID_PARAMETER},
      {"empty quoted program", "\"\" x", dir.str(), ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    Started started = Start(c.commandLine, c.directory.empty() ? nullptr : c.directory.c_str());
    EXPECT_FALSE(started.ok) << c.name;
    EXPECT_EQ(started.error, c.error) << c.name;
    if (started.ok) Close(started.info);
  }
  STARTUPINFOA startup{};
  PROCESS_INFORMATION info{};
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(
      CreateProcessA(nullptr, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  std::string line = "ok.exe";
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                              dir.str().c_str(), &startup, &info));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(EventuallyNoZombies());
}

std::set<int> OpenDescriptors(pid_t pid) {
  std::set<int> fds;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
    fds.insert(std::stoi(entry.path().filename().string()));
  }
  return fds;
}

int ChannelOf(pid_t pid) {
  const std::string environment = qvtest::ReadFileBytes("/proc/" + std::to_string(pid) + "/environ");
  const std::string name = std::string(qvplatform::kExitCodeFdVariable) + "=";
  size_t at = environment.find(name);
  return at == std::string::npos ? -1 : std::atoi(environment.c_str() + at + name.size());
}

TEST(Process, OnlyStandardDescriptorsAndTheChannelAreInherited) {
  qvtest::TempDir dir;
  const int opened = open("/dev/null", O_RDONLY);
  const int inheritable = fcntl(opened, F_DUPFD, 40);  // no close-on-exec
  close(opened);
  ASSERT_GE(inheritable, 40);
  for (BOOL inherit : {FALSE, TRUE}) {
    SCOPED_TRACE(inherit ? "inherit" : "no inherit");
    // The program itself is `sleep`: once CreateProcessA returns it runs with what it inherited.
    Started started = Start("sleep 30", dir.str().c_str(), inherit);
    ASSERT_TRUE(started.ok);
    const pid_t pid = static_cast<pid_t>(started.info.dwProcessId);
    // Right after exec the program's loader and start-up code open files of their own for a moment;
    // an inherited descriptor stays, so wait until the set is the expected one or time runs out.
    std::set<int> fds = OpenDescriptors(pid);
    for (int i = 0; i < 100 && !inherit && fds != std::set<int>{0, 1, 2, 3}; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      fds = OpenDescriptors(pid);
    }
    const int channel = ChannelOf(pid);
    EXPECT_TRUE(fds.count(channel));
    EXPECT_TRUE(std::filesystem::is_fifo("/proc/" + std::to_string(pid) + "/fd/" + std::to_string(channel)));
    if (inherit) {
      EXPECT_TRUE(fds.count(inheritable));
      EXPECT_TRUE(fds.count(0) && fds.count(1) && fds.count(2));
    } else {
      EXPECT_EQ(channel, 3);
      EXPECT_EQ(fds, (std::set<int>{0, 1, 2, 3}));
    }
    EXPECT_TRUE(TerminateProcess(started.info.hProcess, 0));
    EXPECT_EQ(WaitForSingleObject(started.info.hProcess, kTestWaitLimit), WAIT_OBJECT_0);
    Close(started.info);
  }
  close(inheritable);
}

TEST(Process, TimeLimitThenTerminateEndsThatProcessOnly) {
  qvtest::TempDir dir;
  WriteProgram(dir / "setup.exe", "sleep 60 & echo $! > grandchild.txt; wait");
  WriteProgram(dir / "sibling.exe", "sleep 60");
  Started sibling = Start("sibling.exe", dir.str().c_str());
  ASSERT_TRUE(sibling.ok);

  struct Case {
    UINT terminateCode;
  };
  for (const Case& c : {Case{0}, Case{1234}, Case{0xFFFFFFFF}}) {
    std::filesystem::remove(dir / "grandchild.txt");
    Started started = Start("setup.exe /q", dir.str().c_str());
    ASSERT_TRUE(started.ok);
    EXPECT_EQ(WaitForSingleObject(started.info.hProcess, 200), WAIT_TIMEOUT);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(started.info.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);

    EXPECT_TRUE(TerminateProcess(started.info.hProcess, c.terminateCode));
    EXPECT_EQ(WaitForSingleObject(started.info.hThread, kTestWaitLimit), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(started.info.hProcess, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(started.info.hProcess, &code));
    EXPECT_EQ(code, c.terminateCode);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(TerminateProcess(started.info.hProcess, 1));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    Close(started.info);

    // The program's own child and the other program live on.
    const pid_t grandchild =
        static_cast<pid_t>(std::atoi(qvtest::ReadFileBytes(dir / "grandchild.txt").c_str()));
    ASSERT_GT(grandchild, 0);
    EXPECT_TRUE(IsAlive(grandchild));
    kill(grandchild, SIGKILL);
    EXPECT_EQ(WaitForSingleObject(sibling.info.hProcess, 0), WAIT_TIMEOUT);
  }
  EXPECT_TRUE(TerminateProcess(sibling.info.hProcess, 7));
  EXPECT_EQ(WaitForSingleObject(sibling.info.hProcess, kTestWaitLimit), WAIT_OBJECT_0);
  Close(sibling.info);
}

TEST(Process, SeveralWaitersSeeTheSameEnd) {
  qvtest::TempDir dir;
  Started started = StartSetup(dir, "sleep 0.2; printf %s 3010 >&\"$QVAGENT_EXIT_CODE_FD\"; exit 194");
  ASSERT_TRUE(started.ok);
  DWORD results[3] = {};
  DWORD codes[3] = {};
  std::thread waiters[3];
  for (int i = 0; i < 3; ++i) {
    waiters[i] = std::thread([&, i] {
      results[i] = WaitForSingleObject(i == 2 ? started.info.hThread : started.info.hProcess, kTestWaitLimit);
      GetExitCodeProcess(started.info.hProcess, &codes[i]);
    });
  }
  for (auto& w : waiters) w.join();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(results[i], WAIT_OBJECT_0) << i;
    EXPECT_EQ(codes[i], 3010u) << i;
  }
  Close(started.info);
}

TEST(Process, ClosedWithoutWaitingLeavesNoZombie) {
  qvtest::TempDir dir;
  Started started = StartSetup(dir, "sleep 0.2");
  ASSERT_TRUE(started.ok);
  const pid_t pid = static_cast<pid_t>(started.info.dwProcessId);
  EXPECT_TRUE(IsAlive(pid));
  Close(started.info);
  bool gone = false;
  for (int i = 0; i < 400 && !gone; ++i) {
    gone = !std::filesystem::exists("/proc/" + std::to_string(pid));
    if (!gone) Sleep(25);
  }
  EXPECT_TRUE(gone);
}

TEST(Process, HandlesAreTyped) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  DWORD code = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetExitCodeProcess(mutex, &code));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(TerminateProcess(mutex, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(mutex);
}

}  // namespace
