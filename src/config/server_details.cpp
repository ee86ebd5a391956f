// The management server and the distribution server: addresses, ports and protocols (key ServerInfo),
// and the addresses that the request path keeps as they answer.
#include <cstdlib>
#include <optional>

#include "config/agent_parameter_reads.h"
#include "logging/log_core.h"

namespace {

// The HTTPS port is the plain one plus this when none is configured.
constexpr int kSecurePortOffset = 363;
constexpr size_t kMinimumProtocolLength = 4;

// Reads an optional text, logging `errorLine` when it cannot be read.
void ReadOptionalText(const char* valueName, AgentText& text, const char* errorLine) {
  if (ReadAgentText(kServerInfoKeyPath, valueName, text) != ERROR_SUCCESS) LogError(errorLine);
}

// A stored secondary address this short is no address.
void DropShortText(AgentText& text, size_t maximumIgnoredLength) {
  if (text && text->size() <= maximumIgnoredLength) text.reset();
}

std::optional<int> ReadPort(const char* valueName) {
  AgentText text;
  if (ReadAgentText(kServerInfoKeyPath, valueName, text) != ERROR_SUCCESS) return std::nullopt;
  return std::atoi(text->c_str());
}

int ReadSecurePort(const char* valueName, int plainPort) {
  AgentText text;
  if (ReadAgentText(kServerInfoKeyPath, valueName, text) != ERROR_SUCCESS) return plainPort + kSecurePortOffset;
  return std::atoi(text->c_str());
}

// "http" when the value is missing or too short to name a protocol.
std::string ReadProtocol(const char* valueName) {
  AgentText text;
  if (ReadAgentText(kServerInfoKeyPath, valueName, text) != ERROR_SUCCESS || text->size() < kMinimumProtocolLength) {
    return "http";
  }
  return *text;
}

int PortOfProtocol(const std::string& protocol, int plainPort, int securePort) {
  return EqualsNoCase(protocol, "http") ? plainPort : securePort;
}

}  // namespace

int InitializeServerDetailsFromRegistry() {
  if (ReadAgentText(kServerInfoKeyPath, "QVServerName", QVServerName) != ERROR_SUCCESS) {
    LogError("InitializeServerDetailsFromRegistry : Error while fetching server name from registry! \n");
    return kAgentFailure;
  }
  constexpr const char* kNameLine =
      "InitializeServerDetailsFromRegistry : Error while fetching server name from registry! \n";
  ReadOptionalText("QVServerInstalledTime", QVServerInstalledTime,
                   "InitializeServerDetailsFromRegistry : Error while fetching server installed time from registry! \n");
  ReadOptionalText("QVServerFlatName", QVServerFlatName, kNameLine);
  ReadOptionalText("QVServerIPAddress", QVServerIPAddress,
                   "InitializeServerDetailsFromRegistry : Error while fetching server ipaddress from registry! \n");
  ReadOptionalText(
      "QVServerSecIPAddress", QVServerSecIPAddress,
      "InitializeServerDetailsFromRegistry : Error while fetching server Secondary ipaddress from registry! \n");
  DropShortText(QVServerSecIPAddress, 2);
  ReadOptionalText("QVLastAccessName", QVLastAccessName, kNameLine);

  std::optional<int> port = ReadPort("QVServerPort");
  if (!port) {
    LogError("InitializeServerDetailsFromRegistry : Error while fetching server port from registry! \n");
    return kAgentFailure;
  }
  QVServerPort = *port;
  QVServerSecurePort = ReadSecurePort("QVServerSecurePort", QVServerPort);
  QVServerProtocol = ReadProtocol("QVServerProtocol");
  gv_serverPort = PortOfProtocol(QVServerProtocol, QVServerPort, QVServerSecurePort);
  return 0;
}

int InitializeDSServerDetailsFromRegistry() {
  LogDebug("InitializeDSServerDetailsFromRegistry : Reading reporting server regsirty entries\n");
  if (ReadAgentText(kServerInfoKeyPath, "DistributionServerName", DistributionServerName) != ERROR_SUCCESS) {
    LogError("InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server name from registry! \n");
    return kAgentFailure;
  }
  ReadOptionalText(
      "DistributionServerFlatName", DistributionServerFlatName,
      "InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server flat name from registry! \n");
  ReadOptionalText("DistributionLastAccessName", DistributionLastAccessName,
                   "InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server last access name "
                   "from registry! \n");

  std::optional<int> port = ReadPort("DistributionServerPort");
  if (!port) {
    LogError("InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server port from registry! \n");
    return kAgentFailure;
  }
  DistributionServerPort = *port;
  DistributionServerSecurePort = ReadSecurePort("DistributionServerSecurePort", DistributionServerPort);
  ReadOptionalText(
      "DistributionServerIPAddress", DistributionServerIPAddress,
      "InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server ipaddress from registry! \n");
  ReadOptionalText("DistributionServerSecIPAddress", DistributionServerSecIPAddress,
                   "InitializeDSServerDetailsFromRegistry : Error while fetching Reporting secondary server ipaddress "
                   "from registry! \n");
  DropShortText(DistributionServerSecIPAddress, 3);

  // The distribution server always speaks the management server's protocol.
  WriteAgentText(kServerInfoKeyPath, "DistributionServerProtocol", QVServerProtocol.c_str());
  DistributionServerProtocol = ReadProtocol("DistributionServerProtocol");
  gv_dsPort = PortOfProtocol(DistributionServerProtocol, DistributionServerPort, DistributionServerSecurePort);
  return 0;
}

LONG UpdateLastAccessName(const char* name) { return WriteAgentText(kServerInfoKeyPath, "QVLastAccessName", name); }

LONG UpdateDSIPAddress(const char* address) {
  return WriteAgentText(kServerInfoKeyPath, "DistributionServerIPAddress", address);
}

LONG UpdateDSLastAccessName(const char* name) {
  return WriteAgentText(kServerInfoKeyPath, "DistributionLastAccessName", name);
}

LONG GetDSIPAddress(AgentText* address) {
  return ReadAgentText(kServerInfoKeyPath, "DistributionServerIPAddress", *address);
}

LONG GetDSLastAccessName(AgentText* name) {
  return ReadAgentText(kServerInfoKeyPath, "DistributionLastAccessName", *name);
}
