#include "config/agent_parameters.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "config/machine_identity.h"
#include "support/agent_config.h"
#include "support/log_capture.h"
#include "support/temp_hive.h"

namespace {

using qvtest::kAgentFeaturesKey;
using qvtest::kAgentKey;
using qvtest::kServerInfoKey;
using qvtest::kSystemDetailsKey;

// A fresh hive with a complete configuration, the log captured at TRACE, and the parameters as at
// process start.
class AgentParameters : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAgentParameters();
    qvtest::WriteAgentConfiguration("/opt/qvagent/");
  }
  void TearDown() override { ResetAgentParameters(); }

  void EnableDistributionServerValues() {
    qvtest::SetRegText(kAgentKey, "EnableDistributionServer", "Yes");
    qvtest::SetRegText(kServerInfoKey, "DistributionServerName", "ds.example.test");
    qvtest::SetRegText(kServerInfoKey, "DistributionServerFlatName", "DSFLAT");
    qvtest::SetRegText(kServerInfoKey, "DistributionLastAccessName", "ds-last.example.test");
    qvtest::SetRegText(kServerInfoKey, "DistributionServerPort", "8080");
    qvtest::SetRegText(kServerInfoKey, "DistributionServerSecurePort", "8443");
    qvtest::SetRegText(kServerInfoKey, "DistributionServerIPAddress", "198.51.100.5");
    qvtest::SetRegText(kServerInfoKey, "DistributionServerSecIPAddress", "198.51.100.6");
  }

  qvtest::TempHive hive_;
  qvtest::LogCapture log_{4};
};

TEST_F(AgentParameters, FullConfigurationLoadsAndWritesTheBanner) {
  ASSERT_EQ(InitializeAgentParameters(), 0);
  EXPECT_EQ(QVServerName, "qv.example.test");
  EXPECT_EQ(gv_serverPort, 80);
  EXPECT_EQ(gv_dsPort, 80);
  EXPECT_EQ(DistributionServerProtocol, "http");
  EXPECT_EQ(QVAgentInstallDir, "/opt/qvagent/");
  EXPECT_EQ(QVAgentResourceID, "4711");
  EXPECT_EQ(gv_qvProductCode, "QVEE");
  EXPECT_EQ(DataTransferRate_KBps, 1024u);
  EXPECT_EQ(RepWindowDayOfWeek, "1,2,3,4,5");
  EXPECT_EQ(RepWindowStartTime, "01:00:00");
  EXPECT_EQ(gv_compressionEnabled, 1);
  EXPECT_EQ(gv_ifModifiedSinceKey, "Software\\Tessaly\\Quarvel\\QVAgent\\IfModifiedSince");
  // The proxy is off: its values keep their disabled state.
  EXPECT_EQ(ProxyUserName, "");
  EXPECT_EQ(ProxyByPass, "<local>");
  EXPECT_FALSE(ProxyServerName.has_value());
  for (const char* line : {
           "[DEBUG] @@@@@@@ Inside InitializeAgentParameters Method @@@@@@@@ ",
           "[INFO] Quarvel Server Name                -> qv.example.test ",
           "[INFO] Quarvel Server Port                -> 80 ",
           "[INFO] Quarvel Agent InstallDir           -> /opt/qvagent/ ",
           "[INFO] Quarvel Customer Id\t\t   -> C12 ",
           "[INFO] The Agent Machine Resource Id is given by -> 4711 ",
           "[INFO] Agent Data Transfer Rate in KBps\t\t   -> 1024 ",
           "[INFO] Agent Installation Mode\t\t\t\t   -> 2 (2-> silent, 5->Manual) ",
           "[INFO] Server Security Certificate Installed\t   -> 0 (1-> yes, 0-> No) ",
           "[INFO] InitializeAgentDetails : BlockedShutdown value : 0 ",
           "[DEBUG] InitializeAgentParameters : Computer is not an imaged one .. ",
           "[INFO] gv_compressionEnabled is set as true",
           "[DEBUG] @@@@@@@@ End Of InitializeAgentParameters Method @@@@@@@@ ",
       }) {
    EXPECT_TRUE(log_.Has(line)) << line;
  }
  EXPECT_EQ(log_.Count("[INFO] ****************************************************************** "), 2);
  // No distribution-server banner while the distribution server is off.
  EXPECT_EQ(log_.Raw().find("QV Distribution Server  Name"), std::string::npos);
}

TEST_F(AgentParameters, ServerPortFollowsTheProtocol) {
  struct Case {
    std::optional<std::string> securePort;
    std::optional<std::string> protocol;
    int expectedPort;
    std::string expectedProtocol;
  };
  const std::vector<Case> cases = {
      {std::nullopt, "https", 443, "https"},   // 80 + 363
      {"8443", "https", 8443, "https"},
      {"8443", "HTTPS", 8443, "HTTPS"},
      {"8443", "HTTP", 80, "HTTP"},
      {"8443", "ftp", 80, "http"},             // too short to be a protocol
      {"8443", std::nullopt, 80, "http"},
      {"8443", "", 80, "http"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.securePort.value_or("(absent)") + " " + c.protocol.value_or("(absent)"));
    ResetAgentParameters();
    if (c.securePort) {
      qvtest::SetRegText(kServerInfoKey, "QVServerSecurePort", *c.securePort);
    } else {
      qvtest::RemoveRegValue(kServerInfoKey, "QVServerSecurePort");
    }
    if (c.protocol) {
      qvtest::SetRegText(kServerInfoKey, "QVServerProtocol", *c.protocol);
    } else {
      qvtest::RemoveRegValue(kServerInfoKey, "QVServerProtocol");
    }
    ASSERT_EQ(InitializeAgentParameters(), 0);
    EXPECT_EQ(gv_serverPort, c.expectedPort);
    EXPECT_EQ(QVServerProtocol, c.expectedProtocol);
    EXPECT_EQ(gv_dsPort, c.expectedPort);
  }
}

TEST_F(AgentParameters, ShortSecondaryAddressesCountAsAbsent) {
  struct Case {
    std::string server;
    std::string ds;
    bool serverKept;
    bool dsKept;
  };
  const std::vector<Case> cases = {
      {"ab", "abc", false, false},
      {"abc", "abcd", true, true},
      {"", "", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.server + " / " + c.ds);
    ResetAgentParameters();
    EnableDistributionServerValues();
    qvtest::SetRegText(kServerInfoKey, "QVServerSecIPAddress", c.server);
    qvtest::SetRegText(kServerInfoKey, "DistributionServerSecIPAddress", c.ds);
    ASSERT_EQ(InitializeAgentParameters(), 0);
    EXPECT_EQ(QVServerSecIPAddress.has_value(), c.serverKept);
    EXPECT_EQ(DistributionServerSecIPAddress.has_value(), c.dsKept);
    if (c.dsKept) {
      EXPECT_EQ(DistributionServerSecIPAddress, c.ds);
    }
  }
}

TEST_F(AgentParameters, DistributionServerTakesTheServerProtocol) {
  struct Case {
    std::string serverProtocol;
    std::string storedDsProtocol;
    int expectedDsPort;
  };
  const std::vector<Case> cases = {
      {"http", "https", 8080},
      {"https", "http", 8443},
      {"HTTP", "https", 8080},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.serverProtocol + " over " + c.storedDsProtocol);
    ResetAgentParameters();
    EnableDistributionServerValues();
    qvtest::SetRegText(kServerInfoKey, "QVServerProtocol", c.serverProtocol);
    qvtest::SetRegText(kServerInfoKey, "DistributionServerProtocol", c.storedDsProtocol);
    ASSERT_EQ(InitializeAgentParameters(), 0);
    EXPECT_EQ(qvtest::RegText(kServerInfoKey, "DistributionServerProtocol"), c.serverProtocol);
    EXPECT_EQ(DistributionServerProtocol, c.serverProtocol);
    EXPECT_EQ(gv_dsPort, c.expectedDsPort);
    EXPECT_EQ(DistributionServerName, "ds.example.test");
  }
  EXPECT_TRUE(log_.Has("[DEBUG] InitializeDSServerDetailsFromRegistry : Reading reporting server regsirty entries"));
  EXPECT_TRUE(log_.Has("[INFO] QV Distribution Server  Name      \t\t\t-> ds.example.test "));
  EXPECT_TRUE(log_.Has("[INFO] QV Distribution Server  Port      \t\t\t-> 8080 "));
}

TEST_F(AgentParameters, DistributionServerSecurePortDefaultsFromThePlainPort) {
  EnableDistributionServerValues();
  qvtest::RemoveRegValue(kServerInfoKey, "DistributionServerSecurePort");
  qvtest::SetRegText(kServerInfoKey, "QVServerProtocol", "https");
  ASSERT_EQ(InitializeAgentParameters(), 0);
  EXPECT_EQ(DistributionServerSecurePort, 8080 + 363);
  EXPECT_EQ(gv_dsPort, 8080 + 363);
}

TEST_F(AgentParameters, MissingRequiredValuesFailWithTheirLines) {
  struct Case {
    const char* key;
    const char* name;
    bool withDistributionServer;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {kServerInfoKey, "QVServerName", false,
       {"[ERROR] InitializeServerDetailsFromRegistry : Error while fetching server name from registry! ",
        "[ERROR] InitializeAgentParameters : Error while fetching Server details from registry! "}},
      {kServerInfoKey, "QVServerPort", false,
       {"[ERROR] InitializeServerDetailsFromRegistry : Error while fetching server port from registry! ",
        "[ERROR] InitializeAgentParameters : Error while fetching Server details from registry! "}},
      {kAgentKey, "EnableDistributionServer", false,
       {"[ERROR] InitializeAgentParameters : Error while fetching Master Agent entry from registry! "}},
      {kServerInfoKey, "DistributionServerName", true,
       {"[ERROR] InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server name from registry! ",
        "[ERROR] InitializeAgentParameters : Error while fetching DS Server details from registry! "}},
      {kServerInfoKey, "DistributionServerPort", true,
       {"[ERROR] InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server port from registry! ",
        "[ERROR] InitializeAgentParameters : Error while fetching DS Server details from registry! "}},
      {kAgentKey, "QVAgentVersion", false,
       {"[ERROR] InitializeAgentDetails : Error while fetching server name from registry! ",
        "[ERROR] InitializeAgentParameters : Error while the Agent details ! "}},
      {kAgentKey, "AgentServiceName", false,
       {"[ERROR] InitializeAgentDetails : Error while fetching agent service name from registry! "}},
      {kAgentKey, "MSPName", false, {"[ERROR] InitializeAgentDetails : Error while fetching msp name from registry! "}},
      {kAgentKey, "CustomerName", false,
       {"[ERROR] InitializeAgentDetails : Error while fetching customer name from registry! "}},
      {kAgentKey, "CustomerId", false,
       {"[ERROR] GetCustomerId: error while retrieving customerid",
        "[ERROR] InitializeAgentDetails : Error while fetching customer Id from registry! "}},
      {kAgentKey, "QVProductCode", false,
       {"[ERROR] InitializeAgentDetails : Error while fetching product Code from registry! "}},
      {kAgentKey, "QVAgentInstallDir", false,
       {"[ERROR] InitializeAgentDetails : Error occured while retrieving the local computer name !!! ",
        "[ERROR] InitializeAgentParameters : Error while the Agent details ! "}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ResetAgentParameters();
    qvtest::WriteAgentConfiguration("/opt/qvagent/");
    if (c.withDistributionServer) EnableDistributionServerValues();
    qvtest::RemoveRegValue(c.key, c.name);
    qvtest::LogCapture log(4);
    EXPECT_EQ(InitializeAgentParameters(), 13);
    for (const auto& line : c.lines) EXPECT_EQ(log.Count(line), 1) << line;
    // A failed load writes no banner.
    EXPECT_EQ(log.Raw().find("Quarvel Server Name"), std::string::npos);
  }
}

TEST_F(AgentParameters, EmptyCustomerIdFails) {
  qvtest::SetRegText(kAgentKey, "CustomerId", "");
  EXPECT_EQ(InitializeAgentParameters(), 13);
  EXPECT_TRUE(log_.Has("[ERROR] GetCustomerId: error while retrieving customerid"));
  EXPECT_TRUE(log_.Has("[ERROR] InitializeAgentDetails : Error while fetching customer Id from registry! "));
}

TEST_F(AgentParameters, MissingOptionalValuesLogAndKeepDefaults) {
  for (const auto& [key, name] : std::vector<std::pair<const char*, const char*>>{
           {kServerInfoKey, "QVServerInstalledTime"},
           {kServerInfoKey, "QVServerFlatName"},
           {kServerInfoKey, "QVServerIPAddress"},
           {kServerInfoKey, "QVServerSecIPAddress"},
           {kServerInfoKey, "QVLastAccessName"},
           {kAgentKey, "RemoteOfficeName"},
           {kAgentKey, "RemoteOfficeID"},
           {kAgentKey, "InstallSource"},
           {kAgentKey, "InstallMode"},
           {kAgentKey, "ServerOffset"},
           {kAgentKey, "HTTPRequestTimeout"},
           {kAgentKey, "RepWindowDayOfWeek"},
           {kAgentKey, "UseJson"},
       }) {
    qvtest::RemoveRegValue(key, name);
  }
  qvtest::SetRegText(kAgentKey, "RepWindowStartTime", "");
  ASSERT_EQ(InitializeAgentParameters(), 0);
  EXPECT_FALSE(QVServerFlatName.has_value());
  EXPECT_EQ(HTTPRequestTimeout, 60000u);
  EXPECT_EQ(RepWindowDayOfWeek, "1,2,3,4,5,6,7");
  EXPECT_EQ(RepWindowStartTime, "00:00:00");
  EXPECT_EQ(RepWindowEndTime, "05:00:00");
  struct Line {
    std::string text;
    int count;
  };
  const std::vector<Line> lines = {
      {"[ERROR] InitializeServerDetailsFromRegistry : Error while fetching server installed time from registry! ", 1},
      // the flat name and the last access name share the server-name line
      {"[ERROR] InitializeServerDetailsFromRegistry : Error while fetching server name from registry! ", 2},
      {"[ERROR] InitializeServerDetailsFromRegistry : Error while fetching server ipaddress from registry! ", 1},
      {"[ERROR] InitializeServerDetailsFromRegistry : Error while fetching server Secondary ipaddress from registry! ",
       1},
      {"[ERROR] InitializeAgentDetails : Error while fetching branch office Name from registry! ", 1},
      {"[ERROR] InitializeAgentDetails : Error while fetching branch office ID from registry! ", 1},
      {"[ERROR] InitializeAgentDetails : Error while fetching Install source from registry! ", 2},
      {"[ERROR] InitializeAgentDetails : Error while initializing Replication window details from registry! ", 1},
      {"[INFO] Quarvel Server Flat Name           -> (null) ", 1},
      {"[INFO] Agent Installation Source\t\t\t\t   -> (null) ", 1},
  };
  for (const auto& line : lines) EXPECT_EQ(log_.Count(line.text), line.count) << line.text;
}

TEST_F(AgentParameters, TransferRateIsCheckedAndWrittenBack) {
  struct Case {
    std::optional<std::string> stored;
    DWORD rate;
    std::optional<std::string> afterwards;
  };
  const std::vector<Case> cases = {
      {"9000", 0, "0"},
      {"8192", 8192, "8192"},
      {"8193", 0, "0"},
      {"-5", 0, "0"},
      {"12abc", 12, "12abc"},
      {"", 0, "0"},
      {std::nullopt, 0, "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored.value_or("(absent)"));
    ResetAgentParameters();
    if (c.stored) {
      qvtest::SetRegText(kAgentKey, "DataTransferRate_KBps", *c.stored);
    } else {
      qvtest::RemoveRegValue(kAgentKey, "DataTransferRate_KBps");
    }
    ASSERT_EQ(InitializeAgentParameters(), 0);
    EXPECT_EQ(DataTransferRate_KBps, c.rate);
    EXPECT_EQ(qvtest::RegText(kAgentKey, "DataTransferRate_KBps"), c.afterwards);
  }
}

TEST_F(AgentParameters, ChecksumSwitch) {
  struct Case {
    std::optional<std::string> stored;
    int expected;
  };
  const std::vector<Case> cases = {{std::nullopt, 1}, {"YES", 1}, {"yes", 1}, {"no", 0}, {"", 0}, {"1", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored.value_or("(absent)"));
    ResetAgentParameters();
    if (c.stored) {
      qvtest::SetRegText(kAgentKey, "EnableChecksum", *c.stored);
    } else {
      qvtest::RemoveRegValue(kAgentKey, "EnableChecksum");
    }
    ASSERT_EQ(InitializeAgentParameters(), 0);
    EXPECT_EQ(EnableChecksum, c.expected);
  }
}

TEST_F(AgentParameters, DistributionServerRoute) {
  struct Case {
    std::optional<std::string> stored;
    bool dsEnabled;
    int flag;
    std::optional<std::string> afterwards;
    std::string serverName;
  };
  const std::vector<Case> cases = {
      {std::nullopt, true, 0, "no", "qv.example.test"},
      {"", true, 0, "", "qv.example.test"},
      {"no", true, 0, "no", "qv.example.test"},
      {"YES", false, 1, "YES", "qv.example.test"},  // the route needs the distribution server
      {"yes", true, 1, "yes", "ds.example.test"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored.value_or("(absent)") + (c.dsEnabled ? " with DS" : " without DS"));
    ResetAgentParameters();
    qvtest::WriteAgentConfiguration("/opt/qvagent/");
    qvtest::SetRegText(kAgentKey, "ProxyEnabled", "yes");
    if (c.dsEnabled) EnableDistributionServerValues();
    if (c.stored) {
      qvtest::SetRegText(kAgentKey, "EnableDSRoute", *c.stored);
    } else {
      qvtest::RemoveRegValue(kAgentKey, "EnableDSRoute");
    }
    qvtest::LogCapture log(4);
    ASSERT_EQ(InitializeAgentParameters(), 0);
    EXPECT_EQ(EnableDSRoute, c.flag);
    EXPECT_EQ(qvtest::RegText(kAgentKey, "EnableDSRoute"), c.afterwards);
    EXPECT_EQ(QVServerName, c.serverName);
    bool routed = c.serverName == "ds.example.test";
    EXPECT_EQ(log.Has("[INFO] Enable Distribution Server Route                       -> 1 "), routed);
    if (routed) {
      EXPECT_EQ(QVServerFlatName, "ds.example.test");  // the DS name, not its flat name
      EXPECT_EQ(QVServerIPAddress, "198.51.100.5");
      EXPECT_EQ(QVServerSecIPAddress, "198.51.100.6");
      EXPECT_EQ(QVLastAccessName, "ds-last.example.test");
      EXPECT_EQ(ProxyEnabled, "NO");
      EXPECT_EQ(gv_serverPort, 80);
      // The banner was written before the route, and the registry keeps the server's values.
      EXPECT_TRUE(log.Has("[INFO] Quarvel Server Name                -> qv.example.test "));
      EXPECT_EQ(qvtest::RegText(kServerInfoKey, "QVServerName"), "qv.example.test");
    } else {
      EXPECT_EQ(ProxyEnabled, "yes");
    }
  }
}

TEST_F(AgentParameters, ImagedComputerStopsBeforeTheCompressionSwitch) {
  qvtest::SetRegNumber(kAgentKey, "ImagedComputer", 1);
  EXPECT_EQ(InitializeAgentParameters(), 10047);
  EXPECT_TRUE(log_.Has("[INFO] InitializeAgentParameters : Computer is detected as imaged One .. "));
  EXPECT_TRUE(log_.Has("[INFO] Quarvel Server Name                -> qv.example.test "));
  EXPECT_EQ(gv_compressionEnabled, 0);
  EXPECT_EQ(log_.Raw().find("gv_compressionEnabled"), std::string::npos);
}

TEST_F(AgentParameters, CompressionSwitch) {
  struct Case {
    std::optional<DWORD> stored;
    int expected;
    std::string line;
  };
  const std::vector<Case> cases = {
      {std::nullopt, 0, "[INFO] gv_compressionEnabled is set as false (default)"},
      {1, 1, "[INFO] gv_compressionEnabled is set as true"},
      {2, 0, "[INFO] gv_compressionEnabled is set as false"},
      {0, 0, "[INFO] gv_compressionEnabled is set as false"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ResetAgentParameters();
    if (c.stored) {
      qvtest::SetRegNumber(kAgentFeaturesKey, "CompressionEnable", *c.stored);
    } else {
      qvtest::RemoveRegValue(kAgentFeaturesKey, "CompressionEnable");
    }
    qvtest::LogCapture log(4);
    ASSERT_EQ(InitializeAgentParameters(), 0);
    EXPECT_EQ(gv_compressionEnabled, c.expected);
    EXPECT_TRUE(log.Has(c.line));
  }
}

TEST_F(AgentParameters, ClientDataPathIsLowerCase) {
  qvtest::SetRegText(kAgentKey, "CustomerId", "ABC");
  ASSERT_EQ(InitializeAgentParameters(), 0);
  ASSERT_TRUE(gv_clientNamespace.has_value());
  std::string expectedNamespace = *gv_clientNamespace;
  for (char& ch : expectedNamespace) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  EXPECT_EQ(gv_clientDataPath, "client-data/abc/domains/" + expectedNamespace);
  EXPECT_TRUE(log_.Has("[INFO] Quarvel Server Data Path           -> " + gv_clientDataPath + " "));
}

TEST_F(AgentParameters, MissingResourceIdIsLoggedAndTheLoadGoesOn) {
  qvtest::RemoveRegValue(kSystemDetailsKey, "QVAgentResourceID");
  ASSERT_EQ(InitializeAgentParameters(), 0);
  EXPECT_FALSE(QVAgentResourceID.has_value());
  EXPECT_TRUE(log_.Has("[ERROR] GetResourceID : Unable to get the QV Agent Resource ID from Registry , So trying to "
                       "get the same from server ."));
  EXPECT_TRUE(log_.Has("[INFO] The Agent Machine Resource Id is given by -> (null) "));
  EXPECT_FALSE(qvtest::RegText(kSystemDetailsKey, "QVAgentResourceID").has_value());
}

TEST_F(AgentParameters, TempPathIsLimitedTo254Characters) {
  struct Case {
    std::optional<std::string> value;
    std::string expected;
  };
  const std::string longest(254, 't');
  const std::vector<Case> cases = {
      {std::nullopt, ""},
      {"/var/tmp", "/var/tmp"},
      {longest, longest},
      {longest + "t", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value ? std::to_string(c.value->size()) : "unset");
    ResetAgentParameters();
    qvtest::ScopedEnv temp("TEMP", c.value);
    ASSERT_EQ(InitializeAgentParameters(), 0);
    EXPECT_EQ(gv_tempPath, c.expected);
  }
}

TEST_F(AgentParameters, RootCertificateMarks) {
  qvtest::SetRegNumber(kAgentKey, "ServerRootCertificateInstalled", 1);
  qvtest::SetRegNumber(kAgentKey, "DSRootCertificateInstalled", 1);
  ASSERT_EQ(InitializeAgentParameters(), 0);
  EXPECT_EQ(gv_serverRootCertificateInstalled, 1u);
  EXPECT_EQ(gv_dsRootCertificateInstalled, 1u);
  EXPECT_TRUE(log_.Has("[INFO] Server Security Certificate Installed\t   -> 1 (1-> yes, 0-> No) "));
}

TEST_F(AgentParameters, LastAccessAddressesAreKeptInTheRegistry) {
  struct Case {
    std::function<LONG(const char*)> update;
    std::function<LONG(AgentText*)> read;
    const char* valueName;
  };
  const std::vector<Case> cases = {
      {UpdateLastAccessName, nullptr, "QVLastAccessName"},
      {UpdateDSIPAddress, GetDSIPAddress, "DistributionServerIPAddress"},
      {UpdateDSLastAccessName, GetDSLastAccessName, "DistributionLastAccessName"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.valueName);
    ASSERT_EQ(c.update("203.0.113.9"), ERROR_SUCCESS);
    EXPECT_EQ(qvtest::RegText(kServerInfoKey, c.valueName), "203.0.113.9");
    if (c.read) {
      AgentText text;
      EXPECT_EQ(c.read(&text), ERROR_SUCCESS);
      EXPECT_EQ(text, "203.0.113.9");
      qvtest::RemoveRegValue(kServerInfoKey, c.valueName);
      EXPECT_EQ(c.read(&text), ERROR_FILE_NOT_FOUND);
      EXPECT_FALSE(text.has_value());
    }
  }
}

}  // namespace
