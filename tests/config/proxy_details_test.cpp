// Proxy settings from a temporary hive and the Base64 rules of the stored password.
#include "config/proxy_details.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "config/agent_parameters.h"
#include "config/registry_access.h"
#include "support/log_capture.h"
#include "support/temp_hive.h"

namespace {

TEST(DecodeBase64Test, DecodesStandardBase64) {
  struct Case {
    const char* label;
    const char* input;
    std::optional<std::string> output;
  };
  const std::vector<Case> cases = {
      {"four letters end in ==", "YWJjZA==", "abcd"},
      {"five letters end in =", "YWJjZGU=", "abcde"},
      {"three letters, no padding", "YWJj", "abc"},
      {"blanks at both ends", " \t YWJjZA==\r\n", "abcd"},
      {"blanks around five letters", "  YWJjZGU=  ", "abcde"},
      {"empty", "", ""},
      {"only blanks", "  \n ", ""},
      {"plus and slash", "+/+/", std::string("\xfb\xff\xbf")},
      {"zero byte kept", "AGE=", std::string("\0a", 2)},
      {"data after a padded group is not read", "YWJjZA==YWJj", "abcd"},
      {"length not a multiple of four", "YWJjZA=", std::nullopt},
      {"blank inside", "YWJj ZA==", std::nullopt},
      {"character outside the alphabet", "YW*jZA==", std::nullopt},
      {"URL-safe alphabet is not standard", "-_-_", std::nullopt},
      {"padding in the first half of a group", "Y===", std::nullopt},
      {"padding before data", "YW=j", std::nullopt},
      {"no input", nullptr, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(DecodeBase64(c.input), c.output);
  }
}

class ProxyDetailsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAgentParameters();
    ProxyEnabled = "yes";
  }
  void TearDown() override { ResetAgentParameters(); }

  void Put(const char* name, const char* data) {
    ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kAgentKeyPath, name, data, REG_SZ), 0);
  }

  qvtest::TempHive hive_;
};

TEST_F(ProxyDetailsTest, ReadsTheFourValuesAndDecodesThePassword) {
  Put("ProxyServerName", "proxy.corp.local:8080");
  Put("ProxyUserName", "CORP\\agent");
  Put("ProxyPassword", "  UGEkJHcwcmQh  ");  // "Pa$$w0rd!"
  Put("ProxyByPass", "*.corp.local;<local>");
  qvtest::LogCapture log(4);
  EXPECT_EQ(InitializeProxyDetails(), 0);

  EXPECT_EQ(ProxyServerName, "proxy.corp.local:8080");
  EXPECT_EQ(ProxyUserName, "CORP\\agent");
  EXPECT_EQ(ProxyByPass, "*.corp.local;<local>");
  EXPECT_EQ(gv_proxyPassword, "Pa$$w0rd!");
  for (const char* line : {"[INFO] *********************************************************** ",
                           "[INFO] Proxy Server Name -> proxy.corp.local:8080 ",
                           "[INFO] Proxy UserName    -> CORP\\agent ",
                           "[INFO] Proxy ByPass List -> *.corp.local;<local> "}) {
    EXPECT_TRUE(log.Has(line)) << line;
  }
  EXPECT_EQ(log.Count("[INFO] *********************************************************** "), 2);
}

TEST_F(ProxyDetailsTest, ThePasswordNeverReachesTheLog) {
  Put("ProxyPassword", "UGEkJHcwcmQh");
  qvtest::LogCapture log(4);
  InitializeProxyDetails();
  ASSERT_EQ(gv_proxyPassword, "Pa$$w0rd!");
  EXPECT_TRUE(log.Has("[DEBUG] Password from registry: ********"));
  EXPECT_TRUE(log.Has("[DEBUG] Encrypted password is: ********"));
  const std::string raw = log.Raw();
  EXPECT_EQ(raw.find("UGEkJHcwcmQh"), std::string::npos);
  EXPECT_EQ(raw.find("Pa$$w0rd!"), std::string::npos);
}

TEST_F(ProxyDetailsTest, MissingOrBadValues) {
  struct Case {
    const char* label;
    const char* storedPassword;  // null: not stored
    std::string password;
    const char* line;
  };
  const std::vector<Case> cases = {
      {"password absent", nullptr, "", "[DEBUG] Password from registry: (null)"},
      {"password empty", "", "", "[DEBUG] Password from registry: "},
      {"password not Base64", "not base64!",  "",
       "[ERROR] InitializeProxyDetails : ProxyPassword is not valid Base64; no proxy password is used "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    qvtest::TempHive hive;
    ResetAgentParameters();
    ProxyEnabled = "YES";
    gv_proxyPassword = "stale";
    if (c.storedPassword != nullptr) Put("ProxyPassword", c.storedPassword);
    qvtest::LogCapture log(4);
    EXPECT_EQ(InitializeProxyDetails(), 0);
    EXPECT_EQ(gv_proxyPassword, c.password);
    EXPECT_FALSE(ProxyServerName.has_value());
    EXPECT_FALSE(ProxyUserName.has_value()) << "once read, a missing user name is absent";
    EXPECT_FALSE(ProxyByPass.has_value()) << "once read, a missing bypass list is absent";
    EXPECT_TRUE(log.Has(c.line));
    EXPECT_TRUE(log.Has("[INFO] Proxy Server Name -> (null) "));
  }
}

}  // namespace
