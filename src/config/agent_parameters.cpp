// Loading of the agent parameters at start-up: the order of the steps, the parameter banners, the
// distribution-server route and the imaged-computer check.
#include "config/agent_parameters.h"

#include <vector>

#include "config/agent_parameter_reads.h"
#include "config/machine_identity.h"
#include "config/proxy_details.h"
#include "logging/log_core.h"

namespace {

constexpr const char* kStars = "****************************************************************** \n";
// TEMP is read into a buffer of this many bytes: at most 254 characters and the terminator.
constexpr DWORD kTempPathBufferSize = 255;

void ReadWow64State() {
  BOOL wow64 = FALSE;
  gv_isWow64Process = IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? 1 : 0;
}

void ReadTempPath() {
  std::vector<char> buffer(kTempPathBufferSize, '\0');
  // A value too long for the buffer leaves it untouched, so the path stays empty.
  GetEnvironmentVariableA("TEMP", buffer.data(), kTempPathBufferSize);
  gv_tempPath = buffer.data();
}

void WriteParameterBanner() {
  LogInfo(kStars);
  LogInfo("Quarvel Server Name                -> %s \n", TextOrNull(QVServerName));
  LogInfo("Quarvel Server Flat Name           -> %s \n", TextOrNull(QVServerFlatName));
  LogInfo("Quarvel Server IPAddress           -> %s \n", TextOrNull(QVServerIPAddress));
  LogInfo("Quarvel Server Secondary IPAddress -> %s \n", TextOrNull(QVServerSecIPAddress));
  LogInfo("Quarvel Last Access Name           -> %s \n", TextOrNull(QVLastAccessName));
  LogInfo("Quarvel Server Port                -> %d \n", gv_serverPort);
  LogInfo("Quarvel Server Protocol            -> %s \n", QVServerProtocol.c_str());
  LogInfo("Quarvel Agent Version              -> %s \n", TextOrNull(QVAgentVersion));
  LogInfo("Quarvel Agent InstallDir           -> %s \n", TextOrNull(QVAgentInstallDir));
  LogInfo("Quarvel Client Namespace           -> %s \n", TextOrNull(gv_clientNamespace));
  LogInfo("Quarvel Server Data Path           -> %s \n", gv_clientDataPath.c_str());
  LogInfo("Quarvel MSP Name\t           -> %s \n", TextOrNull(MSPName));
  LogInfo("Quarvel Customer Name\t           -> %s \n", TextOrNull(CustomerName));
  LogInfo("Quarvel Customer Id\t\t   -> %s \n", TextOrNull(CustomerId));
  LogInfo("Quarvel Product Code               -> %s \n", gv_qvProductCode.c_str());
  LogInfo("Local Computer Name                       -> %s \n", TextOrNull(gv_localComputerName));
  LogInfo("Local Computer IP Address                 -> %s \n", TextOrNull(gv_localIPAddress));
  LogInfo("Local Computer MAC Address                -> %s \n", TextOrNull(gv_localMACAddress));
  LogInfo("Local Computer Subnet Mask                -> %s \n", TextOrNull(gv_localSubnetMask));
  LogInfo("QV Distribution Server Enabled            -> %s \n", TextOrNull(EnableDistributionServer));
  LogInfo("The remote office name is                 -> %s \n", TextOrNull(RemoteOfficeName));
  LogInfo("Quarvel Agent HTTP Request Timeout -> %d \n", HTTPRequestTimeout);
  LogInfo("Local Computer Domain controller          -> %s \n", TextOrNull(gv_domainController));
  LogInfo("The Agent Machine Resource Id is given by -> %s \n", TextOrNull(QVAgentResourceID));
  LogInfo("Agent Checksum Enabled\t\t               -> %d \n", EnableChecksum);
  LogInfo("Agent Data Transfer Rate in KBps\t\t   -> %d \n", DataTransferRate_KBps);
  LogInfo("Agent Installation Source\t\t\t\t   -> %s \n", TextOrNull(InstallSource));
  LogInfo("Agent Installation Mode\t\t\t\t   -> %s (2-> silent, 5->Manual) \n", TextOrNull(InstallMode));
  LogInfo("Server Security Certificate Installed\t   -> %d (1-> yes, 0-> No) \n", gv_serverRootCertificateInstalled);
  LogInfo(kStars);
}

void WriteDistributionServerBanner() {
  LogInfo("QV Distribution Server  Name      \t\t\t-> %s \n", TextOrNull(DistributionServerName));
  LogInfo("QV Distribution Server  IPAddress \t\t\t-> %s \n", TextOrNull(DistributionServerIPAddress));
  LogInfo("QV Distribution Server  Sec IPAddress         \t\t-> %s \n", TextOrNull(DistributionServerSecIPAddress));
  LogInfo("QV Distribution Server  Port      \t\t\t-> %d \n", gv_dsPort);
  LogInfo("QV Distribution Server  Last Access Name\t\t-> %s \n", TextOrNull(DistributionLastAccessName));
  LogInfo("QV Distribution Server  Protocol  \t\t\t-> %s \n", DistributionServerProtocol.c_str());
  LogInfo("Remote Office ID                          -> %s \n", TextOrNull(RemoteOfficeID));
  LogInfo(kStars);
}

// Server traffic goes to the distribution server from here on; the registry keeps the server's values.
void ApplyDistributionServerRoute() {
  QVServerName = DistributionServerName;
  QVServerFlatName = DistributionServerName;
  QVServerIPAddress = DistributionServerIPAddress;
  QVServerSecIPAddress = DistributionServerSecIPAddress;
  QVLastAccessName = DistributionLastAccessName;
  ProxyEnabled = "NO";
}

void ReadCompressionSwitch() {
  DWORD value = 0;
  if (ReadAgentNumber(kAgentFeaturesKeyPath, "CompressionEnable", value, 0) != ERROR_SUCCESS) {
    LogInfo("gv_compressionEnabled is set as false (default)\n");
    gv_compressionEnabled = 0;
  } else if (value == 1) {
    LogInfo("gv_compressionEnabled is set as true\n");
    gv_compressionEnabled = 1;
  } else {
    LogInfo("gv_compressionEnabled is set as false\n");
    gv_compressionEnabled = 0;
  }
}

}  // namespace

int InitializeAgentParameters() {
  LogDebug("@@@@@@@ Inside InitializeAgentParameters Method @@@@@@@@ \n");
  ReadWow64State();
  gv_ifModifiedSinceKey = kIfModifiedSinceKeyPath;
  ReadTempPath();
  ReadAgentNumber(kAgentKeyPath, "ServerRootCertificateInstalled", gv_serverRootCertificateInstalled, 0);
  ReadAgentNumber(kAgentKeyPath, "DSRootCertificateInstalled", gv_dsRootCertificateInstalled, 0);

  if (InitializeServerDetailsFromRegistry() != 0) {
    LogError("InitializeAgentParameters : Error while fetching Server details from registry! \n");
    return kAgentFailure;
  }
  if (ReadAgentText(kAgentKeyPath, "EnableDistributionServer", EnableDistributionServer) != ERROR_SUCCESS) {
    LogError("InitializeAgentParameters : Error while fetching Master Agent entry from registry! \n");
    return kAgentFailure;
  }
  const bool distributionServerEnabled = EqualsNoCase(EnableDistributionServer, "yes");
  if (distributionServerEnabled) {
    if (InitializeDSServerDetailsFromRegistry() != 0) {
      LogError("InitializeAgentParameters : Error while fetching DS Server details from registry! \n");
      return kAgentFailure;
    }
  } else {
    DistributionServerProtocol = QVServerProtocol;
    gv_dsPort = gv_serverPort;
  }
  if (InitializeLocalMachineDetails() != 0) {
    LogError("InitializeAgentParameters : Error while the local machine details ! \n");
    return kAgentFailure;
  }
  AgentText proxyEnabled;
  ProxyEnabled = ReadAgentText(kAgentKeyPath, "ProxyEnabled", proxyEnabled) == ERROR_SUCCESS ? *proxyEnabled : "NO";
  if (EqualsNoCase(ProxyEnabled, "yes")) InitializeProxyDetails();
  if (InitializeAgentDetails() != 0) {
    LogError("InitializeAgentParameters : Error while the Agent details ! \n");
    return kAgentFailure;
  }

  WriteParameterBanner();
  if (distributionServerEnabled) {
    WriteDistributionServerBanner();
    if (EnableDSRoute == 1) {
      ApplyDistributionServerRoute();
      LogInfo("Enable Distribution Server Route                       -> %d \n", EnableDSRoute);
      LogInfo(kStars);
    }
  }

  ReadAgentNumber(kAgentKeyPath, "ImagedComputer", ImagedComputer, 0);
  if (ImagedComputer == 1) {
    LogInfo("InitializeAgentParameters : Computer is detected as imaged One .. \n");
    return kImagedComputerResult;
  }
  LogDebug("InitializeAgentParameters : Computer is not an imaged one .. \n");
  ReadCompressionSwitch();
  LogDebug("@@@@@@@@ End Of InitializeAgentParameters Method @@@@@@@@ \n");
  return 0;
}
