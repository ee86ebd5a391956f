// Provisioning of agent configurations in the current hive (QVAGENT_REGISTRY), written through the
// platform's registry calls so that the agent's own registry helpers are not needed to set up a test.
#pragma once

#include <optional>
#include <string>

#include "win32.h"

namespace qvtest {

inline constexpr const char* kAgentKey = "Software\\Tessaly\\Quarvel\\QVAgent";
inline constexpr const char* kServerInfoKey = "Software\\Tessaly\\Quarvel\\QVAgent\\ServerInfo";
inline constexpr const char* kSystemDetailsKey = "Software\\Tessaly\\Quarvel\\QVAgent\\SystemDetails";
inline constexpr const char* kAgentFeaturesKey = "Software\\Tessaly\\Quarvel\\QVAgent\\AgentFeatures";

// Writes a complete configuration: management server qv.example.test on port 80 over http, no
// distribution server, no proxy, customer C12, resource identifier 4711, the given installation
// folder (which should end with a separator).
void WriteAgentConfiguration(const std::string& installDir);

void SetRegText(const char* key, const char* name, const std::string& value);
void SetRegNumber(const char* key, const char* name, DWORD value);
void RemoveRegValue(const char* key, const char* name);
// The stored text, or none when the value is missing.
std::optional<std::string> RegText(const char* key, const char* name);

}  // namespace qvtest
