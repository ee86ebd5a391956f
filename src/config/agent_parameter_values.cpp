// The process-wide agent parameters and their values at process start.
#include "config/agent_parameters.h"

namespace {
constexpr const char* kDefaultProtocol = "http";
constexpr const char* kSwitchOff = "NO";
constexpr const char* kLocalBypass = "<local>";
constexpr const char* kDefaultProductCode = "QVEE";
constexpr const char* kDefaultRepDays = "1,2,3,4,5,6,7";
constexpr const char* kDefaultRepStart = "00:00:00";
constexpr const char* kDefaultRepEnd = "23:59:59";
}  // namespace

AgentText QVServerName;
AgentText QVServerInstalledTime;
AgentText QVServerFlatName;
AgentText QVServerIPAddress;
AgentText QVServerSecIPAddress;
AgentText QVLastAccessName;
int QVServerPort = 0;
int QVServerSecurePort = 0;
std::string QVServerProtocol = kDefaultProtocol;

AgentText DistributionServerName;
AgentText DistributionServerFlatName;
AgentText DistributionLastAccessName;
AgentText DistributionServerIPAddress;
AgentText DistributionServerSecIPAddress;
int DistributionServerPort = 0;
int DistributionServerSecurePort = 0;
std::string DistributionServerProtocol = kDefaultProtocol;

AgentText EnableDistributionServer;
std::string ProxyEnabled = kSwitchOff;
AgentText ProxyUserName = std::string();
AgentText ProxyServerName;
AgentText ProxyByPass = std::string(kLocalBypass);
std::string gv_proxyPassword;
AgentText QVAgentVersion;
AgentText AgentServiceName;
AgentText MSPName;
AgentText CustomerName;
AgentText CustomerId;
std::string gv_qvProductCode = kDefaultProductCode;
AgentText QVAgentInstallDir;
bool UseJson = false;
AgentText RemoteOfficeName;
AgentText RemoteOfficeID;
std::string EnableRemoteOfficeMgmt = kSwitchOff;
DWORD HTTPRequestTimeout = kDefaultHTTPRequestTimeout;
DWORD HTTPConnectionTimeout = kDefaultHTTPConnectionTimeout;
DWORD DataTransferRate_KBps = 0;
AgentText InstallSource;
AgentText InstallMode;
std::string RepWindowDayOfWeek = kDefaultRepDays;
std::string RepWindowStartTime = kDefaultRepStart;
std::string RepWindowEndTime = kDefaultRepEnd;
int ServerOffset = 0;
int EnableDSRoute = 0;
DWORD BlockCrashedConfig = 0;
DWORD ShutdownBlocked = 0;
int EnableChecksum = 1;
DWORD ImagedComputer = 0;
AgentText QVAgentResourceID;

int gv_isWow64Process = 0;
std::string gv_tempPath;
int gv_serverPort = 0;
int gv_dsPort = 0;
std::string gv_clientDataPath;
int gv_compressionEnabled = 0;
DWORD gv_serverRootCertificateInstalled = 0;
DWORD gv_dsRootCertificateInstalled = 0;
std::string gv_ifModifiedSinceKey;

void ResetAgentParameters() {
  for (AgentText* text :
       {&QVServerName, &QVServerInstalledTime, &QVServerFlatName, &QVServerIPAddress, &QVServerSecIPAddress,
        &QVLastAccessName, &DistributionServerName, &DistributionServerFlatName, &DistributionLastAccessName,
        &DistributionServerIPAddress, &DistributionServerSecIPAddress, &EnableDistributionServer, &ProxyServerName,
        &QVAgentVersion, &AgentServiceName, &MSPName, &CustomerName, &CustomerId, &QVAgentInstallDir,
        &RemoteOfficeName, &RemoteOfficeID, &InstallSource, &InstallMode, &QVAgentResourceID}) {
    text->reset();
  }
  QVServerPort = QVServerSecurePort = DistributionServerPort = DistributionServerSecurePort = 0;
  QVServerProtocol = DistributionServerProtocol = kDefaultProtocol;
  ProxyEnabled = EnableRemoteOfficeMgmt = kSwitchOff;
  ProxyUserName = std::string();
  ProxyByPass = std::string(kLocalBypass);
  gv_proxyPassword.clear();
  gv_qvProductCode = kDefaultProductCode;
  UseJson = false;
  HTTPRequestTimeout = kDefaultHTTPRequestTimeout;
  HTTPConnectionTimeout = kDefaultHTTPConnectionTimeout;
  DataTransferRate_KBps = 0;
  RepWindowDayOfWeek = kDefaultRepDays;
  RepWindowStartTime = kDefaultRepStart;
  RepWindowEndTime = kDefaultRepEnd;
  ServerOffset = EnableDSRoute = 0;
  BlockCrashedConfig = ShutdownBlocked = ImagedComputer = 0;
  EnableChecksum = 1;
  gv_isWow64Process = gv_serverPort = gv_dsPort = gv_compressionEnabled = 0;
  gv_tempPath.clear();
  gv_clientDataPath.clear();
  gv_serverRootCertificateInstalled = gv_dsRootCertificateInstalled = 0;
  gv_ifModifiedSinceKey.clear();
}
