#include <gtest/gtest.h>

#include "support/log_capture.h"
#include "util/md5.h"

namespace {

TEST(Md5, Rfc1321Digests) {
  struct Case {
    const char* in;
    const char* digest;
  };
  const Case cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : cases) {
    std::string digest;
    EXPECT_EQ(GetMD5HashFromString(c.in, digest), 0u) << c.in;
    EXPECT_EQ(digest, c.digest) << c.in;
  }
}

TEST(Md5, LogsTheDigestAtDebug) {
  qvtest::LogCapture log;
  std::string digest;
  GetMD5HashFromString("abc", digest);
  EXPECT_TRUE(log.Has("[DEBUG] GetMD5HashFromString : MD5 hash of string abc is : 900150983cd24fb0d6963f7d28e17f72"));
}

}  // namespace
