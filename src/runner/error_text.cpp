#include "runner/error_text.h"

#include <cstring>
#include <vector>

#include "logging/log_core.h"
#include "util/encoding.h"

namespace {

constexpr DWORD kSystemTextFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM | 0xFF;
constexpr DWORD kLanguageNeutralDefault = 0x400;

void LogText(DWORD code, const char* text) {
  if (code != 0)
    LogError("Error Code : %d , Error Message : %s \n", code, text);
  else
    LogInfo("Message : %s \n", text);
}

}  // namespace

std::string GetCustomErrorText(DWORD code) {
  switch (code) {
    case 1508: return "The requested operation is successful. Changes will not be effective until the browser is rebooted.";
    case 10001: return "qv.db.agent.config.script.powerscript_notfound";
    case 10002: return "qv.db.agent.config.run_as_admin.credentials_not_available";
    case 10003: return "qv.db.agent.config.returned_zero_failure";
    case 17021: return "OfficeUpdateError: Creating temp folder.";
    case 17023: return "OfficeUpdateError: User cancelled installation.";
    case 17024: return "OfficeUpdateError: Creating folder failed.";
    case 17025: return "OfficeUpdateError: Patch already installed.";
    case 17026: return "OfficeUpdateError: Patch already installed to admin installation.";
    case 17027: return "OfficeUpdateError: Installation source requires full file update.";
    case 17028: return "OfficeUpdateError: No product installed for contained patch.";
    case 17029: return "OfficeUpdateError: Patch failed to install.";
    case 17030: return "OfficeUpdateError: Invalid CIF format.";
    case 17031: return "OfficeUpdateError: Invalid baseline.";
    case 17034: return "OfficeUpdateError: Required patch does not apply to the machine.";
    case 17038:
      return "OfficeUpdateError: You do not have sufficient privileges to complete this installation for all users of "
             "the machine. Log on as administrator and then retry this installation.";
    case 17044: return "OfficeUpdateError: Installer was unable to run detection for this package.";
    case 17048: return "OfficeUpdateError : This installation requires Windows Installer 3.1 or greater.";
    case 17301: return "OfficeUpdateError: General Detection error";
    case 17302: return "OfficeUpdateError: Applying patch.";
    case 17303: return "OfficeUpdateError: Extracting file.";
    case 20001: return "Patch update delayed since application is used by another process";
    case 2359302: return "Patch already Installed and the changes will not be effective until the system is rebooted.";
    case 2359303: return "Patch already Uninstalled and the changes will not be effective until the system is rebooted.";
    default: return qvplatform::Format("Unknown Error. Code : %d", static_cast<int>(code));
  }
}

std::string GetErrorMessageText(DWORD code) {
  char16_t* systemText = nullptr;
  std::string text;
  if (FormatMessageW(kSystemTextFlags, nullptr, code, kLanguageNeutralDefault, reinterpret_cast<LPWSTR>(&systemText), 0,
                     nullptr) != 0 &&
      systemText) {
    ChangeWideToUtf8Str(systemText, text);
  } else {
    text = GetCustomErrorText(code);
  }
  LogText(code, text.c_str());
  LocalFree(systemText);
  return text;
}

void LogErrorMessage(DWORD code) { GetErrorMessageText(code); }

int LogErrorMessageTrimmed(DWORD code) {
  char* systemText = nullptr;
  std::string text;
  if (FormatMessageA(kSystemTextFlags, nullptr, code, kLanguageNeutralDefault, reinterpret_cast<LPSTR>(&systemText), 0,
                     nullptr) != 0 &&
      systemText) {
    std::vector<char> copy(systemText, systemText + std::strlen(systemText) + 1);
    StrTrimA(copy.data(), " ");
    text = copy.data();
  } else {
    text = GetCustomErrorText(code);
  }
  LogText(code, text.c_str());
  LocalFree(systemText);
  return 0;
}
