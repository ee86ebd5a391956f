#include "util/service_notification.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "advapi32/hive_values.h"
#include "config/agent_parameters.h"
#include "support/log_capture.h"
#include "support/run_process.h"
#include "support/temp_hive.h"

namespace {

constexpr char kService[] = "QVAgentSvc";

// qvservice-listen running in the background for one test.
class Listener {
 public:
  Listener(const qvtest::TempHive& hive, std::vector<std::string> extra) : socket_((hive.dir() / "svc.sock").string()) {
    std::vector<std::string> args = {kService, "--socket", socket_};
    args.insert(args.end(), extra.begin(), extra.end());
    thread_ = std::thread([this, args, cwd = hive.dir().path()] {
      result_ = qvtest::RunProcess(qvtest::BuiltProgram("qvservice-listen"), args, cwd);
    });
  }
  ~Listener() { Finish(); }

  // Waits until the listener has named its socket in the hive.
  bool WaitReady() {
    for (int i = 0; i < 200; ++i) {
      auto named = qvplatform::ReadHiveText(HKEY_LOCAL_MACHINE, qvplatform::ServiceKeyPath(kService), "ControlSocket");
      if (named && *named == socket_ && std::filesystem::exists(socket_)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
  }

  // Stops the listener (unless it ended by itself) and returns how it ended.
  const qvtest::ProcessResult& Finish() {
    if (thread_.joinable()) {
      if (std::filesystem::exists(socket_)) Stop();
      thread_.join();
    }
    return result_;
  }
  const std::string& socket() const { return socket_; }

 private:
  static void Stop() {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = OpenServiceW(manager, u"QVAgentSvc", SERVICE_STOP);
    SERVICE_STATUS status;
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
  }

  std::string socket_;
  std::thread thread_;
  qvtest::ProcessResult result_;
};

TEST(SendServiceMsg, ServiceAnswers) {
  struct Case {
    const char* name;
    std::vector<std::string> listenerArgs;
    int result;
    const char* outcomeLine;
    const char* listenerLine;
  };
  const Case cases[] = {
      {"accepted", {}, 1, "[INFO] SendServiceMsg : Notification is succeeded", "CONTROL 147 accepted\n"},
      {"rejected", {"--reject", "147"}, 0, "[ERROR] SendServiceMsg : Notification failed 1052 ",
       "CONTROL 147 rejected\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    qvtest::TempHive hive;
    Listener listener(hive, c.listenerArgs);
    ASSERT_TRUE(listener.WaitReady());
    qvtest::LogCapture log;
    EXPECT_EQ(SendServiceMsg(kResourceIdChangedControl, u"QVAgentSvc"), c.result);
    EXPECT_TRUE(log.Has("[INFO] SendServiceMsg : Service QVAgentSvc Opened successfully"));
    EXPECT_TRUE(log.Has(c.outcomeLine));
    const auto& ended = listener.Finish();
    EXPECT_EQ(ended.exitStatus, 0);
    EXPECT_NE(ended.output.find(c.listenerLine), std::string::npos) << ended.output;
  }
}

TEST(SendServiceMsg, ServiceNotThere) {
  qvtest::TempHive hive;
  {
    qvtest::LogCapture log;
    EXPECT_EQ(SendServiceMsg(kResourceIdChangedControl, u"NoSuchService"), 0);
    EXPECT_EQ(log.Messages(), std::vector<std::string>{"[ERROR] SendServiceMsg : Failed to open the Service"});
  }
  // Registered, but its listener has stopped.
  Listener listener(hive, {});
  ASSERT_TRUE(listener.WaitReady());
  EXPECT_EQ(listener.Finish().exitStatus, 0);
  EXPECT_FALSE(std::filesystem::exists(listener.socket()));
  qvtest::LogCapture log;
  EXPECT_EQ(SendServiceMsg(kResourceIdChangedControl, u"QVAgentSvc"), 0);
  EXPECT_TRUE(log.Has("[ERROR] SendServiceMsg : Notification failed 1062 "));
}

TEST(NotifyAgentService, AddressesTheConfiguredService) {
  qvtest::TempHive hive;
  AgentText saved = AgentServiceName;
  {
    Listener listener(hive, {"--count", "1"});
    ASSERT_TRUE(listener.WaitReady());
    AgentServiceName = kService;
    EXPECT_EQ(NotifyAgentService(kResourceIdChangedControl), 1);
    const auto& ended = listener.Finish();
    EXPECT_EQ(ended.exitStatus, 0);
    EXPECT_NE(ended.output.find("CONTROL 147 accepted\n"), std::string::npos) << ended.output;
  }
  AgentServiceName.reset();
  qvtest::LogCapture log;
  EXPECT_EQ(NotifyAgentService(kResourceIdChangedControl), 0);
  EXPECT_TRUE(log.Has("[ERROR] ChangeToWideStr: AnsiString is empty! "));
  AgentServiceName = saved;
}

TEST(QvserviceListen, RefusesBadArguments) {
  qvtest::TempHive hive;
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--socket", "x.sock"},
      {kService, "--count", "0"},
      {kService, "--count"},
      {kService, "--reject", "stop"},
      {kService, "--verbose"},
      {kService, "second"},
      {"a\\b"},
      {kService, "--socket", std::string(200, 's')},
  };
  for (const auto& args : cases) {
    auto result = qvtest::RunProcess(qvtest::BuiltProgram("qvservice-listen"), args, hive.dir().path());
    EXPECT_EQ(result.exitStatus, 1) << result.output;
    EXPECT_NE(result.output.find("qvservice-listen: "), std::string::npos) << result.output;
  }
}

TEST(QvserviceListen, StopEndsItAndLeavesTheServiceRegistered) {
  qvtest::TempHive hive;
  Listener listener(hive, {});
  ASSERT_TRUE(listener.WaitReady());
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = OpenServiceW(manager, u"QVAgentSvc", SERVICE_STOP | SERVICE_INTERROGATE);
  ASSERT_NE(service, nullptr);
  SERVICE_STATUS status{};
  EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));
  EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
  EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOP_PENDING);
  const auto& ended = listener.Finish();
  EXPECT_EQ(ended.exitStatus, 0);
  EXPECT_NE(ended.output.find("Listening for QVAgentSvc on " + listener.socket() + "\n"), std::string::npos);
  EXPECT_NE(ended.output.find("CONTROL 4 accepted\nCONTROL 1 accepted\n"), std::string::npos) << ended.output;
  EXPECT_FALSE(std::filesystem::exists(listener.socket()));
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
}

}  // namespace
