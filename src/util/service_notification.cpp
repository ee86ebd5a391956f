#include "util/service_notification.h"

#include <string>

#include "config/agent_parameters.h"
#include "logging/log_core.h"
#include "util/encoding.h"

int SendServiceMsg(DWORD controlCode, const char16_t* serviceName) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) {
    LogError("SendServiceMsg : Failed to open Service Control Manager\n");
    return 0;
  }
  SC_HANDLE service = OpenServiceW(manager, serviceName, SERVICE_USER_DEFINED_CONTROL);
  if (!service) {
    LogError("SendServiceMsg : Failed to open the Service\n");
    CloseServiceHandle(manager);
    return 0;
  }
  LogInfo("SendServiceMsg : Service %S Opened successfully\n", serviceName);
  SERVICE_STATUS status{};
  int result = 0;
  if (ControlService(service, controlCode, &status)) {
    LogInfo("SendServiceMsg : Notification is succeeded\n");
    result = 1;
  } else {
    LogError("SendServiceMsg : Notification failed %d \n", GetLastError());
  }
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return result;
}

int NotifyAgentService(DWORD controlCode) {
  std::u16string serviceName;
  if (!ChangeToWideStr(TextOrNull(AgentServiceName), serviceName)) return 0;
  return SendServiceMsg(controlCode, serviceName.c_str());
}
