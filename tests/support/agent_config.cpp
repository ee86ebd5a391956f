#include "support/agent_config.h"

#include <stdexcept>
#include <vector>

namespace qvtest {

namespace {

// Opens (creating) the key for writing; throws so that a broken set-up stops the test at once.
class WritableKey {
 public:
  explicit WritableKey(const char* path) {
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr) !=
        ERROR_SUCCESS) {
      throw std::runtime_error(std::string("cannot create registry key ") + path);
    }
  }
  ~WritableKey() { RegCloseKey(key_); }
  WritableKey(const WritableKey&) = delete;
  WritableKey& operator=(const WritableKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

void SetRegText(const char* key, const char* name, const std::string& value) {
  WritableKey k(key);
  if (RegSetValueExA(k.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS) {
    throw std::runtime_error(std::string("cannot set registry value ") + name);
  }
}

void SetRegNumber(const char* key, const char* name, DWORD value) {
  WritableKey k(key);
  if (RegSetValueExA(k.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) !=
      ERROR_SUCCESS) {
    throw std::runtime_error(std::string("cannot set registry value ") + name);
  }
}

void RemoveRegValue(const char* key, const char* name) {
  WritableKey k(key);
  RegDeleteValueA(k.get(), name);
}

std::optional<std::string> RegText(const char* key, const char* name) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return std::nullopt;
  DWORD size = 0;
  std::optional<std::string> text;
  if (RegQueryValueExA(k, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS) {
      text = std::string(data.data());
    }
  }
  RegCloseKey(k);
  return text;
}

void WriteAgentConfiguration(const std::string& installDir) {
  struct Text {
    const char* key;
    const char* name;
    std::string value;
  };
  const std::vector<Text> texts = {
      {kServerInfoKey, "QVServerName", "qv.example.test"},
      {kServerInfoKey, "QVServerInstalledTime", "2024-03-05 10:00:00"},
      {kServerInfoKey, "QVServerFlatName", "QVSRV"},
      {kServerInfoKey, "QVServerIPAddress", "192.0.2.10"},
      {kServerInfoKey, "QVServerSecIPAddress", "192.0.2.11"},
      {kServerInfoKey, "QVLastAccessName", "qv.example.test"},
      {kServerInfoKey, "QVServerPort", "80"},
      {kServerInfoKey, "QVServerSecurePort", "443"},
      {kServerInfoKey, "QVServerProtocol", "http"},
      {kAgentKey, "EnableDistributionServer", "no"},
      {kAgentKey, "ProxyEnabled", "no"},
      {kAgentKey, "QVAgentVersion", "9.4.1"},
      {kAgentKey, "AgentServiceName", "QVAgentService"},
      {kAgentKey, "MSPName", "Example MSP"},
      {kAgentKey, "CustomerName", "Example Customer"},
      {kAgentKey, "CustomerId", "C12"},
      {kAgentKey, "QVProductCode", "QVEE"},
      {kAgentKey, "QVAgentInstallDir", installDir},
      {kAgentKey, "UseJson", "false"},
      {kAgentKey, "RemoteOfficeName", "Head Office"},
      {kAgentKey, "RemoteOfficeID", "7"},
      {kAgentKey, "EnableRemoteOfficeMgmt", "NO"},
      {kAgentKey, "DataTransferRate_KBps", "1024"},
      {kAgentKey, "InstallSource", "package"},
      {kAgentKey, "InstallMode", "2"},
      {kAgentKey, "RepWindowDayOfWeek", "1,2,3,4,5"},
      {kAgentKey, "RepWindowStartTime", "01:00:00"},
      {kAgentKey, "RepWindowEndTime", "05:00:00"},
      {kAgentKey, "ServerOffset", "0"},
      {kAgentKey, "EnableDSRoute", "no"},
      {kAgentKey, "EnableChecksum", "yes"},
      {kSystemDetailsKey, "QVAgentResourceID", "4711"},
  };
  for (const auto& t : texts) SetRegText(t.key, t.name, t.value);
  SetRegNumber(kAgentKey, "HTTPRequestTimeout", 60000);
  SetRegNumber(kAgentKey, "HTTPConnectionTimeout", 30000);
  SetRegNumber(kAgentKey, "ImagedComputer", 0);
  SetRegNumber(kAgentFeaturesKey, "CompressionEnable", 1);
}

}  // namespace qvtest
