// The readable Windows name built from the system's version facts: edition tables, name patterns
// and the naming of systems that report no product type.
#pragma once

#include <optional>
#include <string>

#include "win32.h"

// What the version functions reported about the running system.
struct OsFacts {
  DWORD majorVersion = 0;
  DWORD minorVersion = 0;
  DWORD buildNumber = 0;
  DWORD platformId = 0;
  std::string servicePackText;  // szCSDVersion
  bool extended = false;        // the fields below the service-pack text were reported
  WORD servicePackMajor = 0;
  WORD servicePackMinor = 0;
  WORD suiteMask = 0;
  BYTE productType = 0;  // 1 workstation, 2 domain controller, 3 server
  WORD processorArchitecture = 0;
  std::optional<DWORD> productInfo;  // GetProductInfo's product type, when it answered
};

constexpr WORD kArchitectureAmd64 = 9;

// The name of the system (at most 99 characters). Major and minor both 0 name the system's own
// version; other values replace its major and minor version (the product type stays the system's).
// nullopt when a system without product types has no readable ProductOptions.
std::optional<std::string> BuildOsName(const OsFacts& facts, DWORD major, DWORD minor);

// The edition text of a GetProductInfo product type; nullopt for a type that has none.
std::optional<std::string> EditionText(DWORD productType, DWORD buildNumber);
