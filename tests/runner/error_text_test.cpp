#include <gtest/gtest.h>

#include "runner/error_text.h"
#include "support/log_capture.h"

namespace {

TEST(ErrorText, SystemTextsThenTheAgentTable) {
  struct Case {
    DWORD code;
    std::string text;
  };
  const std::vector<Case> cases = {
      {0, "The operation completed successfully. "},
      {2, "The system cannot find the file specified. "},
      {3010, "The requested operation is successful. Changes will not be effective until the system is rebooted. "},
      {1641, "The requested operation completed successfully. The system will be restarted so the changes can take effect. "},
      {1603, "Fatal error during installation. "},
      {1508, "The requested operation is successful. Changes will not be effective until the browser is rebooted."},
      {10001, "qv.db.agent.config.script.powerscript_notfound"},
      {10003, "qv.db.agent.config.returned_zero_failure"},
      {17025, "OfficeUpdateError: Patch already installed."},
      {17048, "OfficeUpdateError : This installation requires Windows Installer 3.1 or greater."},
      {17022, "Unknown Error. Code : 17022"},
      {17045, "Unknown Error. Code : 17045"},
      {20001, "Patch update delayed since application is used by another process"},
      {0x240006, "Patch already Installed and the changes will not be effective until the system is rebooted."},
      {0x240007, "Patch already Uninstalled and the changes will not be effective until the system is rebooted."},
      {0xFFFFFFFE, "Unknown Error. Code : -2"},
      {99999, "Unknown Error. Code : 99999"},
  };
  for (const auto& c : cases) {
    qvtest::LogCapture log;
    EXPECT_EQ(GetErrorMessageText(c.code), c.text) << c.code;
    std::string line = c.code == 0 ? "[INFO] Message : " + c.text + " "
                                   : "[ERROR] Error Code : " + std::to_string(static_cast<int>(c.code)) +
                                         " , Error Message : " + c.text + " ";
    EXPECT_TRUE(log.Has(line)) << c.code << "\n" << log.Raw();
  }
}

TEST(ErrorText, TrimmedVariantAndLogOnly) {
  qvtest::LogCapture log;
  EXPECT_EQ(LogErrorMessageTrimmed(5), 0);
  EXPECT_TRUE(log.Has("[ERROR] Error Code : 5 , Error Message : Access is denied. "));
  EXPECT_EQ(LogErrorMessageTrimmed(17025), 0);
  EXPECT_TRUE(log.Has("[ERROR] Error Code : 17025 , Error Message : OfficeUpdateError: Patch already installed. "));
  LogErrorMessage(0);
  EXPECT_TRUE(log.Has("[INFO] Message : The operation completed successfully.  "));
}

}  // namespace
