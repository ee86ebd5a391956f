#include <gtest/gtest.h>

#include <set>
#include <string>

#include "http/winhttp_error_texts.h"
#include "runner/error_text.h"
#include "support/log_capture.h"

namespace {

TEST(WinHttpErrorTexts, TextsAreExact) {
  struct Case {
    DWORD code;
    const char* text;  // null: no text of its own
  };
  const char* resend = "HttpGetLastError: The WinHTTP function failed. The desired function can be retried on the same "
                       "request handle \n";
  std::vector<Case> cases = {
      {12001, "HttpGetLastError: No more handles could be generated at this time (Obsolete; no longer used.)\n"},
      {12002, "HttpGetLastError: The request has timed out.\n"},
      {12007, "HttpGetLastError: The server name could not be resolved.\n"},
      {12011, "HttpGetLastError: The request option can not be set, only queried.\n "},
      {12015,
       "HttpGetLastError: The login attempt failed . A new request handle must be created before retrying the function "
       "that originally produced this error. \n"},
      {12029, "HttpGetLastError: The attempt to connect to the server failed.\n"},
      {12030,
       "HttpGetLastError: The connection with the server has been terminated or an incompatible SSL protocol was "
       "encountered .\n"},
      {12032, resend},
      {12184, resend},
      {12035, "HttpGetLastError: Sec Cert Date Invalid\n"},
      {12150, "HttpGetLastError: The requested header could not be located. \n"},
      {12152, "HttpGetLastError: The server response could not be parsed. \n"},
      {12169,
       "HttpGetLastError: Indicates that a certificate is invalid (equivalent to errors such as CERT_E_ROLE, "
       "CERT_E_PATHLENCONST, CERT_E_CRITICAL, CERT_E_PURPOSE, CERT_E_ISSUERCHAINING, CERT_E_MALFORMED and "
       "CERT_E_CHAINING)."},
      {12172, "HttpGetLastError: Obsolete; no longer used.  \n"},
      {12175,
       "HttpGetLastError: One or more errors were found in the Secure Sockets Layer (SSL) certificate sent by the "
       "server .\n"},
      {12183, "HttpGetLastError: An overflow condition is encountered in the course of parsing chunked encoding  \n"},
      {0, nullptr},
      {122, nullptr},
      {534, nullptr},
      {12000, nullptr},
      {12047, nullptr},
      {12168, nullptr},
      {12185, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const char* text = WinHttpErrorText(c.code);
    if (!c.text) {
      EXPECT_EQ(text, nullptr);
    } else {
      ASSERT_NE(text, nullptr);
      EXPECT_STREQ(text, c.text);
    }
  }
}

TEST(WinHttpErrorTexts, CoverTheDocumentedCodesOnly) {
  std::set<DWORD> expected;
  for (DWORD code = 12001; code <= 12046; ++code) expected.insert(code);
  for (DWORD code : {12057, 12100, 12101, 12102, 12103, 12150, 12151, 12152, 12153, 12154, 12155, 12156, 12157,
                     12158, 12159, 12166, 12167, 12169, 12170, 12172, 12175, 12178, 12179, 12180, 12181, 12182,
                     12183, 12184})
    expected.insert(code);
  std::set<DWORD> found;
  for (DWORD code = 11990; code <= 12200; ++code) {
    const char* text = WinHttpErrorText(code);
    if (!text) continue;
    found.insert(code);
    EXPECT_EQ(std::string(text).rfind("HttpGetLastError: ", 0), 0u) << code;
    EXPECT_EQ(std::string(text).find('%'), std::string::npos) << code;  // logged with no arguments
  }
  EXPECT_EQ(found, expected);
  std::string cn = WinHttpErrorText(12038);
  EXPECT_EQ(cn.rfind("HttpGetLastError: SSL certificate common name (host name field) is incorrect. ", 0), 0u);
  EXPECT_EQ(cn.substr(cn.size() - 2), " \n");
}

TEST(HttpGetLastError, LogsTheTextAsItStands) {
  struct Case {
    DWORD code;
    std::string written;  // in the file, after the level marker; line ends as the text-mode file has them
  };
  std::vector<Case> cases = {
      {12002, "HttpGetLastError: The request has timed out.\r\n"},
      {12011, "HttpGetLastError: The request option can not be set, only queried.\r\n "},
      {12169, "HttpGetLastError: Indicates that a certificate is invalid (equivalent to errors such as CERT_E_ROLE, "
              "CERT_E_PATHLENCONST, CERT_E_CRITICAL, CERT_E_PURPOSE, CERT_E_ISSUERCHAINING, CERT_E_MALFORMED and "
              "CERT_E_CHAINING)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    std::string raw;
    {
      qvtest::LogCapture log;
      HttpGetLastError(c.code);
      raw = log.Raw();
    }
    std::string marker = "[ERROR] ";
    size_t at = raw.rfind(marker);
    ASSERT_NE(at, std::string::npos) << raw;
    EXPECT_EQ(raw.substr(at + marker.size()), c.written);
  }
}

TEST(HttpGetLastError, OtherCodesGoToTheSystemMessageLog) {
  for (DWORD code : {0u, 5u, 122u, 534u, 12000u, 12047u, 12185u, 17025u}) {
    SCOPED_TRACE(code);
    std::vector<std::string> viaHttp, direct;
    {
      qvtest::LogCapture log;
      HttpGetLastError(code);
      viaHttp = log.Messages();
    }
    {
      qvtest::LogCapture log;
      LogErrorMessage(code);
      direct = log.Messages();
    }
    EXPECT_FALSE(direct.empty());
    EXPECT_EQ(viaHttp, direct);
    for (const std::string& line : viaHttp) EXPECT_EQ(line.find("HttpGetLastError"), std::string::npos);
  }
}

}  // namespace
