#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "win32.h"

namespace {

namespace fs = std::filesystem;

TEST(SHCreateDirectoryExW, CreatesEveryLevelAndReportsWhatWasThere) {
  qvtest::TempDir dir;
  qvtest::ScopedEnv root(qvplatform::kDrivesRootVariable, dir.str());
  fs::create_directories(dir / "C/work");
  qvtest::WriteFileBytes(dir / "C/work/file.txt", "x");
  struct Case {
    const char16_t* path;
    int expected;
    const char* createdFolder;  // relative to the drives root, or null
  };
  const std::vector<Case> cases = {
      {u"C:\\work\\logs\\deep\\", ERROR_SUCCESS, "C/work/logs/deep"},
      {u"C:\\work\\logs\\deep", ERROR_ALREADY_EXISTS, "C/work/logs/deep"},
      {u"C:/work/logs2", ERROR_SUCCESS, "C/work/logs2"},
      {u"D:\\new\\drive", ERROR_SUCCESS, "D/new/drive"},
      {u"C:\\work", ERROR_ALREADY_EXISTS, "C/work"},
      {u"C:\\", ERROR_ALREADY_EXISTS, "C"},
      {u"C:\\work\\file.txt", ERROR_FILE_EXISTS, nullptr},
      {u"C:\\work\\file.txt\\sub", ERROR_PATH_NOT_FOUND, nullptr},
      {u"relative\\folder", ERROR_BAD_PATHNAME, nullptr},
      {u"", ERROR_BAD_PATHNAME, nullptr},
      {nullptr, ERROR_BAD_PATHNAME, nullptr},
  };
  for (const auto& c : cases) {
    std::string label = c.createdFolder ? c.createdFolder : "(none)";
    SetLastError(0xdeadbeef);
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, c.path, nullptr), c.expected) << label;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.expected)) << label;
    if (c.createdFolder) {
      EXPECT_TRUE(fs::is_directory(dir / c.createdFolder)) << label;
    }
  }
  EXPECT_FALSE(fs::exists("relative"));
  EXPECT_TRUE(fs::is_regular_file(dir / "C/work/file.txt"));

  std::string posix = (dir / "posix/a/b").string();
  std::u16string widePosix(posix.begin(), posix.end());
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, widePosix.c_str(), nullptr), ERROR_SUCCESS);
  EXPECT_TRUE(fs::is_directory(dir / "posix/a/b"));
}

TEST(StrTrimA, RemovesCharactersFromBothEnds) {
  struct Case {
    const char* text;
    const char* trim;
    const char* expected;
    BOOL changed;
  };
  const std::vector<Case> cases = {
      {"  text with blanks  ", " ", "text with blanks", TRUE},
      {"The operation completed successfully. ", " ", "The operation completed successfully.", TRUE},
      {"unchanged", " ", "unchanged", FALSE},
      {"   ", " ", "", TRUE},
      {"", " ", "", FALSE},
      {"\r\n line \r\n", " \r\n", "line", TRUE},
      {"xxabcxx", "x", "abc", TRUE},
      {"abc", "", "abc", FALSE},
  };
  for (const auto& c : cases) {
    std::vector<char> buffer(c.text, c.text + std::strlen(c.text) + 1);
    EXPECT_EQ(StrTrimA(buffer.data(), c.trim), c.changed) << "[" << c.text << "]";
    EXPECT_STREQ(buffer.data(), c.expected) << "[" << c.text << "]";
  }
}

TEST(StrStrIA, FindsIgnoringCase) {
  const char* text = "Content-Type: Application/GZIP";
  struct Case {
    const char* search;
    int offset;  // -1: not found
  };
  const std::vector<Case> cases = {
      {"content", 0}, {"application/gzip", 14}, {"GZIP", 26}, {"type:", 8}, {"xml", -1}, {"gzipx", -1}, {"", 0},
  };
  for (const auto& c : cases) {
    const char* found = StrStrIA(text, c.search);
    if (c.offset < 0) {
      EXPECT_EQ(found, nullptr) << c.search;
    } else {
      EXPECT_EQ(found, text + c.offset) << c.search;
    }
  }
  EXPECT_EQ(StrStrIA(nullptr, "a"), nullptr);
  EXPECT_EQ(StrStrIA("a", nullptr), nullptr);
}

TEST(PathFindExtensionA, PointsAtTheLastComponentsExtension) {
  struct Case {
    const char* path;
    const char* extension;
  };
  const std::vector<Case> cases = {
      {"C:\\certs\\root.crt", ".crt"},
      {"C:\\certs\\root.tar.gz", ".gz"},
      {"C:\\certs.d\\root", ""},
      {"C:/certs.d/root", ""},
      {"root.", "."},
      {".hidden", ".hidden"},
      {"noext", ""},
      {"", ""},
      {"file.my ext", ""},
  };
  for (const auto& c : cases) {
    const char* found = PathFindExtensionA(c.path);
    ASSERT_NE(found, nullptr) << c.path;
    EXPECT_STREQ(found, c.extension) << c.path;
    EXPECT_TRUE(found >= c.path && found <= c.path + std::strlen(c.path)) << c.path;
  }
  EXPECT_EQ(PathFindExtensionA(nullptr), nullptr);
}

}  // namespace
