#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "advapi32/hive_values.h"
#include "support/temp_hive.h"
#include "win32.h"

namespace {

constexpr char16_t kName[] = u"QVTestService";
const std::string kKey = qvplatform::ServiceKeyPath("QVTestService");

// A service that answers one connection with a scripted reply: `reply` is sent after the request
// line was read, then the connection is held open for `holdMs` or closed.
class ScriptedService {
 public:
  ScriptedService(const std::filesystem::path& socketPath, std::string reply, int holdMs = 0)
      : path_(socketPath.string()) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(fd_, 4), 0);
    thread_ = std::thread([this, reply, holdMs] {
      int connection = accept(fd_, nullptr, nullptr);
      if (connection < 0) return;
      char buffer[256];
      std::string line;
      while (line.find('\n') == std::string::npos) {
        ssize_t got = recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        line.append(buffer, static_cast<size_t>(got));
      }
      request_ = line;
      // A "|" in the reply splits it into two sends with a pause between them.
      auto split = reply.find('|');
      std::string first = reply.substr(0, split);
      send(connection, first.data(), first.size(), MSG_NOSIGNAL);
      if (split != std::string::npos) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        send(connection, reply.data() + split + 1, reply.size() - split - 1, MSG_NOSIGNAL);
      }
      if (holdMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
      close(connection);
    });
  }
  ~ScriptedService() {
    shutdown(fd_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    close(fd_);
  }
  // The request as received; read after the call returned.
  std::string request() {
    shutdown(fd_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    return request_;
  }

 private:
  std::string path_;
  int fd_ = -1;
  std::thread thread_;
  std::string request_;
};

class ServiceControl : public ::testing::Test {
 protected:
  void SetUp() override {
    manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    ASSERT_NE(manager_, nullptr);
  }
  void TearDown() override { CloseServiceHandle(manager_); }

  std::filesystem::path Register(DWORD timeoutMs = 0) {
    auto socketPath = hive_.dir() / "service.sock";
    EXPECT_EQ(qvplatform::WriteHiveText(HKEY_LOCAL_MACHINE, kKey, "ControlSocket", socketPath.string()),
              ERROR_SUCCESS);
    if (timeoutMs) {
      EXPECT_EQ(qvplatform::WriteHiveDword(HKEY_LOCAL_MACHINE, kKey, "ControlTimeout", timeoutMs), ERROR_SUCCESS);
    }
    return socketPath;
  }

  // Sends `control` through a fresh service handle; the last error is kept for the caller.
  BOOL Send(DWORD control, SERVICE_STATUS* status, DWORD access = SERVICE_USER_DEFINED_CONTROL) {
    SC_HANDLE service = OpenServiceW(manager_, kName, access);
    EXPECT_NE(service, nullptr) << GetLastError();
    BOOL ok = ControlService(service, control, status);
    DWORD error = GetLastError();
    CloseServiceHandle(service);
    SetLastError(error);
    return ok;
  }

  qvtest::TempHive hive_;
  SC_HANDLE manager_ = nullptr;
};

TEST_F(ServiceControl, AnswersOfTheService) {
  struct Case {
    const char* name;
    std::string reply;
    int holdMs;
    BOOL ok;
    DWORD error;  // when !ok
    DWORD state;
    DWORD accepted;
  };
  const Case cases[] = {
      {"accepted", "ACCEPTED 4 5\n", 0, TRUE, 0, SERVICE_RUNNING, 5},
      {"accepted while stopping", "ACCEPTED 3 0\n", 0, TRUE, 0, SERVICE_STOP_PENDING, 0},
      {"answer in pieces is read whole", "ACCEPTED 4| 1\n", 0, TRUE, 0, SERVICE_RUNNING, 1},
      {"rejected", "REJECTED 1052\n", 0, FALSE, ERROR_INVALID_SERVICE_CONTROL, SERVICE_RUNNING, 0},
      {"rejected with its own code", "REJECTED 1061\n", 0, FALSE, ERROR_SERVICE_CANNOT_ACCEPT_CTRL,
       SERVICE_RUNNING, 0},
      {"rejected without a code", "REJECTED 0\n", 0, FALSE, ERROR_SERVICE_REQUEST_TIMEOUT, 0, 0},
      {"garbage", "HELLO\n", 0, FALSE, ERROR_SERVICE_REQUEST_TIMEOUT, 0, 0},
      {"trailing words", "ACCEPTED 4 5 9\n", 0, FALSE, ERROR_SERVICE_REQUEST_TIMEOUT, 0, 0},
      {"negative state", "ACCEPTED -1 5\n", 0, FALSE, ERROR_SERVICE_REQUEST_TIMEOUT, 0, 0},
      {"state beyond 32 bits", "ACCEPTED 4294967296 5\n", 0, FALSE, ERROR_SERVICE_REQUEST_TIMEOUT, 0, 0},
      {"signed rejection", "REJECTED +1052\n", 0, FALSE, ERROR_SERVICE_REQUEST_TIMEOUT, 0, 0},
      {"word missing", "ACCEPTED 4\n", 0, FALSE, ERROR_SERVICE_REQUEST_TIMEOUT, 0, 0},
      {"closed without answer", "", 0, FALSE, ERROR_SERVICE_REQUEST_TIMEOUT, 0, 0},
      {"answer without line end", "ACCEPTED 4 5", 0, FALSE, ERROR_SERVICE_REQUEST_TIMEOUT, 0, 0},
      {"silent past the time-out", "", 1500, FALSE, ERROR_SERVICE_REQUEST_TIMEOUT, 0, 0},
  };
  auto socketPath = Register(300);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(socketPath);
    ScriptedService service(socketPath, c.reply, c.holdMs);
    SERVICE_STATUS status;
    std::memset(&status, 0xAB, sizeof status);
    BOOL ok = Send(147, &status);
    DWORD error = GetLastError();
    EXPECT_EQ(service.request(), "CONTROL 147\n");
    EXPECT_EQ(ok, c.ok);
    if (!c.ok) {
      EXPECT_EQ(error, c.error);
    }
    if (c.state) {
      EXPECT_EQ(status.dwServiceType, SERVICE_WIN32_OWN_PROCESS);
      EXPECT_EQ(status.dwCurrentState, c.state);
      EXPECT_EQ(status.dwControlsAccepted, c.accepted);
      EXPECT_EQ(status.dwWin32ExitCode, 0u);
    }
  }
}

TEST_F(ServiceControl, ServiceThatDoesNotRun) {
  SERVICE_STATUS status{};
  // Registered without a control socket.
  ASSERT_EQ(qvplatform::WriteHiveText(HKEY_LOCAL_MACHINE, kKey, "DisplayName", "test"), ERROR_SUCCESS);
  EXPECT_FALSE(Send(147, &status));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
  // A socket path nobody listens on, and one that is not a socket.
  auto socketPath = Register();
  EXPECT_FALSE(Send(147, &status));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
  qvtest::WriteFileBytes(socketPath, "plain file");
  EXPECT_FALSE(Send(147, &status));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
  // A control socket of the wrong type.
  ASSERT_EQ(qvplatform::WriteHiveDword(HKEY_LOCAL_MACHINE, kKey, "ControlSocket", 1), ERROR_SUCCESS);
  EXPECT_FALSE(Send(147, &status));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
}

TEST_F(ServiceControl, OpenServiceNames) {
  Register();
  struct Case {
    const char* name;
    std::u16string service;
    DWORD error;  // 0: opens
  };
  const Case cases[] = {
      {"exact", u"QVTestService", 0},
      {"other case", u"qvtestSERVICE", 0},
      {"unknown", u"NoSuchService", ERROR_SERVICE_DOES_NOT_EXIST},
      {"empty", u"", ERROR_INVALID_NAME},
      {"backslash", u"QVTestService\\Parameters", ERROR_INVALID_NAME},
      {"slash", u"a/b", ERROR_INVALID_NAME},
      {"too long", std::u16string(257, u'x'), ERROR_INVALID_NAME},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SC_HANDLE service = OpenServiceW(manager_, c.service.c_str(), SERVICE_USER_DEFINED_CONTROL);
    if (c.error == 0) {
      EXPECT_NE(service, nullptr);
      EXPECT_TRUE(CloseServiceHandle(service));
    } else {
      EXPECT_EQ(service, nullptr);
      EXPECT_EQ(GetLastError(), c.error);
    }
  }
  EXPECT_EQ(OpenServiceW(manager_, nullptr, SERVICE_USER_DEFINED_CONTROL), nullptr);
}

TEST_F(ServiceControl, ManagerIsLocalOnly) {
  struct Case {
    const char* name;
    const char16_t* machine;
    const char16_t* database;
    DWORD error;  // 0: opens
  };
  const Case cases[] = {
      {"empty machine", u"", nullptr, 0},
      {"dot", u"\\\\.", nullptr, 0},
      {"localhost", u"localhost", nullptr, 0},
      {"loopback address", u"127.0.0.1", nullptr, 0},
      {"active database", nullptr, u"servicesactive", 0},
      {"remote machine", u"\\\\FILESERVER-42", nullptr, ERROR_BAD_NETPATH},
      {"other database", nullptr, u"ServicesFailed", ERROR_INVALID_NAME},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SC_HANDLE manager = OpenSCManagerW(c.machine, c.database, SC_MANAGER_CONNECT);
    if (c.error == 0) {
      EXPECT_NE(manager, nullptr);
      EXPECT_TRUE(CloseServiceHandle(manager));
    } else {
      EXPECT_EQ(manager, nullptr);
      EXPECT_EQ(GetLastError(), c.error);
    }
  }
}

TEST_F(ServiceControl, ControlsNeedTheirRight) {
  auto socketPath = Register(300);
  struct Case {
    const char* name;
    DWORD control;
    DWORD access;
    DWORD error;  // 0: delivered
  };
  const Case cases[] = {
      {"own code with the right", 147, SERVICE_USER_DEFINED_CONTROL, 0},
      {"own code without it", 147, SERVICE_QUERY_STATUS, ERROR_ACCESS_DENIED},
      {"stop", SERVICE_CONTROL_STOP, SERVICE_STOP, 0},
      {"stop without the right", SERVICE_CONTROL_STOP, SERVICE_USER_DEFINED_CONTROL, ERROR_ACCESS_DENIED},
      {"pause", SERVICE_CONTROL_PAUSE, SERVICE_PAUSE_CONTINUE, 0},
      {"interrogate", SERVICE_CONTROL_INTERROGATE, SERVICE_INTERROGATE, 0},
      {"shutdown is never sent", SERVICE_CONTROL_SHUTDOWN, SERVICE_ALL_ACCESS, ERROR_INVALID_PARAMETER},
      {"not a control", 300, SERVICE_ALL_ACCESS, ERROR_INVALID_PARAMETER},
      {"zero", 0, SERVICE_ALL_ACCESS, ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(socketPath);
    ScriptedService service(socketPath, "ACCEPTED 4 5\n");
    SERVICE_STATUS status{};
    BOOL ok = Send(c.control, &status, c.access);
    DWORD error = GetLastError();
    if (c.error == 0) {
      EXPECT_TRUE(ok) << error;
      EXPECT_EQ(service.request(), "CONTROL " + std::to_string(c.control) + "\n");
    } else {
      EXPECT_FALSE(ok);
      EXPECT_EQ(error, c.error);
      EXPECT_EQ(service.request(), "");
    }
  }
}

TEST_F(ServiceControl, HandlesAreChecked) {
  Register();
  SERVICE_STATUS status{};
  SC_HANDLE service = OpenServiceW(manager_, kName, SERVICE_ALL_ACCESS);
  ASSERT_NE(service, nullptr);
  EXPECT_FALSE(ControlService(service, 147, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(ControlService(manager_, 147, &status));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(OpenServiceW(service, kName, SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_TRUE(CloseServiceHandle(service));
  EXPECT_FALSE(CloseServiceHandle(service));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(ControlService(service, 147, &status));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseServiceHandle(nullptr));
}

TEST_F(ServiceControl, ServiceRemovedWhileOpen) {
  Register();
  SC_HANDLE service = OpenServiceW(manager_, kName, SERVICE_USER_DEFINED_CONTROL);
  ASSERT_NE(service, nullptr);
  HKEY services;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, R"(SYSTEM\CurrentControlSet\Services\QVTestService)", 0,
                          KEY_ALL_ACCESS, &services),
            ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueA(services, "ControlSocket"), ERROR_SUCCESS);
  RegCloseKey(services);
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, R"(SYSTEM\CurrentControlSet\Services\QVTestService)"),
            ERROR_SUCCESS);
  SERVICE_STATUS status{};
  EXPECT_FALSE(ControlService(service, 147, &status));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
  CloseServiceHandle(service);
}

}  // namespace
