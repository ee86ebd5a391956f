// The agent's own details from the agent key: identity, installation, time-outs, transfer rate,
// replication window, switches, the client data path and the resource identifier.
#include <cstdlib>
#include <string>

#include "config/agent_parameter_reads.h"
#include "config/machine_identity.h"
#include "logging/log_core.h"
#include "util/encoding.h"

namespace {

// Transfer rates above this many KB per second are no limit the agent accepts.
constexpr DWORD kMaximumTransferRate = 8192;

// Reads a required text of the agent key, logging `errorLine` when it cannot be read.
bool ReadRequiredText(const char* valueName, AgentText& text, const char* errorLine) {
  if (ReadAgentText(kAgentKeyPath, valueName, text) == ERROR_SUCCESS) return true;
  LogError(errorLine);
  return false;
}

void ReadOptionalText(const char* valueName, AgentText& text, const char* errorLine) {
  if (ReadAgentText(kAgentKeyPath, valueName, text) != ERROR_SUCCESS) LogError(errorLine);
}

// Replaces `target` only with a non-empty stored text.
void ReadNonEmptyText(const char* valueName, std::string& target) {
  AgentText text;
  if (ReadAgentText(kAgentKeyPath, valueName, text) == ERROR_SUCCESS && !text->empty()) target = *text;
}

void ReadTransferRate() {
  AgentText text;
  if (ReadAgentText(kAgentKeyPath, "DataTransferRate_KBps", text) != ERROR_SUCCESS) {
    WriteAgentText(kAgentKeyPath, "DataTransferRate_KBps", "0");
    DataTransferRate_KBps = 0;
    return;
  }
  if (text->empty()) {
    DataTransferRate_KBps = 0;
    WriteAgentText(kAgentKeyPath, "DataTransferRate_KBps", "0");
    return;
  }
  // atol's value taken as unsigned: a negative rate counts as a large one.
  DataTransferRate_KBps = static_cast<DWORD>(std::atol(text->c_str()));
  if (DataTransferRate_KBps > kMaximumTransferRate) {
    DataTransferRate_KBps = 0;
    WriteAgentText(kAgentKeyPath, "DataTransferRate_KBps", "0");
  }
}

// The replication window and the server's time offset; the result is the offset read's code.
LONG ReadReplicationWindow() {
  ReadNonEmptyText("RepWindowDayOfWeek", RepWindowDayOfWeek);
  ReadNonEmptyText("RepWindowStartTime", RepWindowStartTime);
  ReadNonEmptyText("RepWindowEndTime", RepWindowEndTime);
  AgentText offset;
  LONG code = ReadAgentText(kAgentKeyPath, "ServerOffset", offset);
  if (code == ERROR_SUCCESS && !offset->empty()) ServerOffset = std::atoi(offset->c_str());
  return code;
}

// Only the letters A to Z change.
std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

void BuildClientDataPath() {
  gv_clientDataPath = "client-data/" + AsciiLower(CustomerId.value_or("")) + "/domains/" +
                      ToLowerUtf8(TextOrNull(gv_clientNamespace));
}

}  // namespace

int GetCustomerId(AgentText* customerId) {
  if (ReadAgentText(kAgentKeyPath, "CustomerId", *customerId) != ERROR_SUCCESS || customerId->value().empty()) {
    customerId->reset();
    LogError("GetCustomerId: error while retrieving customerid\n");
    return kAgentFailure;
  }
  return 0;
}

LONG GetEnableDSRoute() {
  AgentText text;
  LONG code = ReadAgentText(kAgentKeyPath, "EnableDSRoute", text);
  if (code != ERROR_SUCCESS) {
    EnableDSRoute = 0;
    return WriteAgentText(kAgentKeyPath, "EnableDSRoute", "no");
  }
  if (!text->empty()) EnableDSRoute = EqualsNoCase(text, "yes") ? 1 : 0;
  return code;
}

int GetResourceID(AgentText* resourceId) {
  LONG code = ReadAgentText(kSystemDetailsKeyPath, "QVAgentResourceID", *resourceId);
  if (code == ERROR_SUCCESS) return 0;
  LogError(
      "GetResourceID : Unable to get the QV Agent Resource ID from Registry , So trying to get the same from server "
      ".\n");
  // Without an identifier from the server the agent runs on without one; the result tells why.
  return static_cast<int>(code);
}

int InitializeAgentDetails() {
  if (!ReadRequiredText("QVAgentVersion", QVAgentVersion,
                        "InitializeAgentDetails : Error while fetching server name from registry! \n") ||
      !ReadRequiredText("AgentServiceName", AgentServiceName,
                        "InitializeAgentDetails : Error while fetching agent service name from registry! \n") ||
      !ReadRequiredText("MSPName", MSPName, "InitializeAgentDetails : Error while fetching msp name from registry! \n") ||
      !ReadRequiredText("CustomerName", CustomerName,
                        "InitializeAgentDetails : Error while fetching customer name from registry! \n")) {
    return kAgentFailure;
  }
  if (GetCustomerId(&CustomerId) != 0) {
    LogError("InitializeAgentDetails : Error while fetching customer Id from registry! \n");
    return kAgentFailure;
  }
  AgentText productCode;
  if (!ReadRequiredText("QVProductCode", productCode,
                        "InitializeAgentDetails : Error while fetching product Code from registry! \n")) {
    return kAgentFailure;
  }
  gv_qvProductCode = *productCode;
  if (!ReadRequiredText("QVAgentInstallDir", QVAgentInstallDir,
                        "InitializeAgentDetails : Error occured while retrieving the local computer name !!! \n")) {
    return kAgentFailure;
  }

  AgentText useJson;
  ReadAgentText(kAgentKeyPath, "UseJson", useJson);
  UseJson = EqualsNoCase(useJson, "true");
  ReadOptionalText("RemoteOfficeName", RemoteOfficeName,
                   "InitializeAgentDetails : Error while fetching branch office Name from registry! \n");
  ReadOptionalText("RemoteOfficeID", RemoteOfficeID,
                   "InitializeAgentDetails : Error while fetching branch office ID from registry! \n");
  AgentText remoteOfficeMgmt;
  if (ReadAgentText(kAgentKeyPath, "EnableRemoteOfficeMgmt", remoteOfficeMgmt) == ERROR_SUCCESS) {
    EnableRemoteOfficeMgmt = *remoteOfficeMgmt;
  }
  ReadAgentNumber(kAgentKeyPath, "HTTPRequestTimeout", HTTPRequestTimeout, kDefaultHTTPRequestTimeout);
  ReadAgentNumber(kAgentKeyPath, "HTTPConnectionTimeout", HTTPConnectionTimeout, kDefaultHTTPConnectionTimeout);
  ReadTransferRate();
  constexpr const char* kInstallLine = "InitializeAgentDetails : Error while fetching Install source from registry! \n";
  ReadOptionalText("InstallSource", InstallSource, kInstallLine);
  ReadOptionalText("InstallMode", InstallMode, kInstallLine);
  if (ReadReplicationWindow() != ERROR_SUCCESS) {
    LogError("InitializeAgentDetails : Error while initializing Replication window details from registry! \n");
  }
  if (GetEnableDSRoute() != ERROR_SUCCESS) {
    LogError("InitializeAgentDetails : Error while fetching GetEnableDSRoute from registry! \n");
  }

  ReadAgentNumber(kAgentKeyPath, "BlockCrashedConfig", BlockCrashedConfig, 0);
  LogDebug("InitializeAgentDetails : Some configuration is crashed (if value is one) : %d \n", BlockCrashedConfig);
  ReadAgentNumber(kAgentKeyPath, "ShutdownBlocked", ShutdownBlocked, 0);
  LogInfo("InitializeAgentDetails : BlockedShutdown value : %d \n", ShutdownBlocked);

  BuildClientDataPath();
  GetResourceID(&QVAgentResourceID);

  AgentText checksum;
  EnableChecksum =
      ReadAgentText(kAgentKeyPath, "EnableChecksum", checksum) != ERROR_SUCCESS || EqualsNoCase(checksum, "yes") ? 1 : 0;
  return 0;
}
