// The agent's parameters: the configuration below the agent key of HKEY_LOCAL_MACHINE, loaded once at
// start-up into process-wide values. Values read from the registry are named by their registry value
// names; values derived from them or from the system carry the gv_ prefix. They are written by the
// main thread only (at start-up, and by the few operations that replace a server address or the
// resource identifier) and read without locks.
#pragma once

#include <optional>
#include <string>

#include "win32.h"

// A registry text that may be absent. An absent text is printed as "(null)" by the log.
using AgentText = std::optional<std::string>;

// The text for a "%s" argument: null when absent.
inline const char* TextOrNull(const AgentText& text) { return text ? text->c_str() : nullptr; }

// Registry key paths below HKEY_LOCAL_MACHINE.
inline constexpr const char* kAgentKeyPath = "Software\\Tessaly\\Quarvel\\QVAgent";
inline constexpr const char* kServerInfoKeyPath = "Software\\Tessaly\\Quarvel\\QVAgent\\ServerInfo";
inline constexpr const char* kSystemDetailsKeyPath = "Software\\Tessaly\\Quarvel\\QVAgent\\SystemDetails";
inline constexpr const char* kAgentFeaturesKeyPath = "Software\\Tessaly\\Quarvel\\QVAgent\\AgentFeatures";
inline constexpr const char* kIfModifiedSinceKeyPath = "Software\\Tessaly\\Quarvel\\QVAgent\\IfModifiedSince";

// Result of InitializeAgentParameters for a computer marked as imaged.
inline constexpr int kImagedComputerResult = 10047;
// The agent's generic failure (the system's code for invalid data).
inline constexpr int kAgentFailure = 13;
// HTTP time-outs in milliseconds when none are configured.
inline constexpr DWORD kDefaultHTTPRequestTimeout = 60000;
inline constexpr DWORD kDefaultHTTPConnectionTimeout = 30000;

// Management server (key ServerInfo).
extern AgentText QVServerName;
extern AgentText QVServerInstalledTime;
extern AgentText QVServerFlatName;
extern AgentText QVServerIPAddress;
extern AgentText QVServerSecIPAddress;  // a stored text of 2 characters or fewer counts as absent
extern AgentText QVLastAccessName;
extern int QVServerPort;          // atoi of the stored text
extern int QVServerSecurePort;    // QVServerPort + 363 when absent
extern std::string QVServerProtocol;  // "http" or "https"; "http" when absent or shorter than 4

// Distribution server (key ServerInfo), loaded only when EnableDistributionServer is "yes".
extern AgentText DistributionServerName;
extern AgentText DistributionServerFlatName;
extern AgentText DistributionLastAccessName;
extern AgentText DistributionServerIPAddress;
extern AgentText DistributionServerSecIPAddress;  // 3 characters or fewer count as absent
extern int DistributionServerPort;
extern int DistributionServerSecurePort;
extern std::string DistributionServerProtocol;

// Agent key.
extern AgentText EnableDistributionServer;
extern std::string ProxyEnabled;  // "NO" unless configured
// Proxy settings: while the proxy is disabled the user name and password are empty, the bypass list
// is "<local>" and the server is absent; once read, a missing value is absent.
extern AgentText ProxyUserName;
extern AgentText ProxyServerName;
extern AgentText ProxyByPass;
extern std::string gv_proxyPassword;  // the decoded password
extern AgentText QVAgentVersion;
extern AgentText AgentServiceName;
extern AgentText MSPName;
extern AgentText CustomerName;
extern AgentText CustomerId;
extern std::string gv_qvProductCode;  // QVProductCode, "QVEE" until loaded
extern AgentText QVAgentInstallDir;   // stored with a trailing separator; "logs" is appended directly
extern bool UseJson;
extern AgentText RemoteOfficeName;
extern AgentText RemoteOfficeID;
extern std::string EnableRemoteOfficeMgmt;  // "NO" unless configured
extern DWORD HTTPRequestTimeout;            // milliseconds, 60000 unless configured
extern DWORD HTTPConnectionTimeout;         // milliseconds, 30000 unless configured
extern DWORD DataTransferRate_KBps;         // 0 (no limit) up to 8192
extern AgentText InstallSource;
extern AgentText InstallMode;
extern std::string RepWindowDayOfWeek;
extern std::string RepWindowStartTime;
extern std::string RepWindowEndTime;
extern int ServerOffset;
extern int EnableDSRoute;  // 1: server traffic goes through the distribution server
extern DWORD BlockCrashedConfig;
extern DWORD ShutdownBlocked;
extern int EnableChecksum;  // 1 unless the stored text is something other than "yes"
extern DWORD ImagedComputer;
extern AgentText QVAgentResourceID;  // key SystemDetails

// Derived values.
extern int gv_isWow64Process;
extern std::string gv_tempPath;  // TEMP, at most 254 characters; empty when unset
extern int gv_serverPort;        // the port of QVServerProtocol
extern int gv_dsPort;            // the port of DistributionServerProtocol
extern std::string gv_clientDataPath;
extern int gv_compressionEnabled;
extern DWORD gv_serverRootCertificateInstalled;
extern DWORD gv_dsRootCertificateInstalled;
extern std::string gv_ifModifiedSinceKey;

// 0 on success; 13 when a required value is missing or a step fails; 10047 for an imaged computer.
int InitializeAgentParameters();
// 0, or 13 when QVServerName or QVServerPort cannot be read.
int InitializeServerDetailsFromRegistry();
// 0, or 13 when DistributionServerName or DistributionServerPort cannot be read.
int InitializeDSServerDetailsFromRegistry();
// 0, or 13 at the first required value that cannot be read.
int InitializeAgentDetails();
// 0 with CustomerId; 13 when it is absent or empty.
int GetCustomerId(AgentText* customerId);
// Sets EnableDSRoute from the registry ("no" is written when the value is missing); returns the
// read's or the write-back's code.
LONG GetEnableDSRoute();
// 0 with QVAgentResourceID from the registry; otherwise the result of asking the server.
int GetResourceID(AgentText* resourceId);

// Keep the addresses that answered (key ServerInfo, REG_SZ); each returns writeValue's code.
LONG UpdateLastAccessName(const char* name);
LONG UpdateDSIPAddress(const char* address);
LONG UpdateDSLastAccessName(const char* name);
// Fresh from the registry; the read's code.
LONG GetDSIPAddress(AgentText* address);
LONG GetDSLastAccessName(AgentText* name);

// Puts every value above back to its state at process start (for tests that load several
// configurations in one process).
void ResetAgentParameters();
