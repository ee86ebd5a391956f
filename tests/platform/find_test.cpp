#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "kernel32/wildcard.h"
#include "support/temp_dir.h"
#include "win32.h"

namespace {

namespace fs = std::filesystem;

TEST(FilePattern, WindowsWildcardRules) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const std::vector<Case> cases = {
      {"*", "anything.txt", true},
      {"*", ".", true},
      {"*", "..", true},
      {"*.*", "noext", true},
      {"*.*", "a.b.c", true},
      {"*.*", ".", true},
      {"*.*", "..", true},
      {"*.log", "qv.log", true},
      {"*.log", "qv.log.bak", false},
      {"*.log", "a.b.log", true},
      {"*.log", "qvlog", false},
      {"*.", "noext", true},
      {"*.", "a.txt", false},
      {"qvprereqhandler*.*", "qvprereqhandler.log", true},
      {"qvprereqhandler*.*", "qvprereqhandler1.log", true},
      {"qvprereqhandler*.*", "qvprereqhandler", true},
      {"qvprereqhandler*.*", "other.log", false},
      {"?.txt", "a.txt", true},
      {"?.txt", "ab.txt", false},
      {"?.txt", ".txt", true},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"log?.txt", "log.txt", true},
      {"log?.txt", "log1.txt", true},
      {"ab??", "ab", true},
      {"ab??", "abcde", false},
      {"?", ".", false},
      {"file.txt", "file.txt", true},
      {"file.txt", "File.txt", false},
      {"file.", "file", true},
      {"*a*b", "xaxxb", true},
      {"*a*b", "xaxxbc", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(qvplatform::MatchesFilePattern(c.pattern, c.name), c.matches)
        << "pattern " << c.pattern << ", name " << c.name;
  }
}

class FindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a.txt", "b.log", "noext", "qvprereqhandler.log", "qvprereqhandler1.log"})
      qvtest::WriteFileBytes(dir_ / name, name);
    fs::create_directory(dir_ / "sub");
    qvtest::WriteFileBytes(dir_ / "sub/inner.txt", "x");
  }

  // Every name a search returns, in order; the first call's error in `error` (0 on success).
  std::vector<std::string> List(const std::string& pattern, DWORD& error) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    SetLastError(0xdeadbeef);
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
      error = GetLastError();
      return names;
    }
    error = 0;
    do {
      names.push_back(data.cFileName);
    } while (FindNextFileA(search, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES) << pattern;
    EXPECT_TRUE(FindClose(search));
    return names;
  }

  qvtest::TempDir dir_;
};

TEST_F(FindTest, PatternsAndErrors) {
  using Names = std::vector<std::string>;
  const Names all = {".", "..", "a.txt", "b.log", "noext", "qvprereqhandler.log", "qvprereqhandler1.log", "sub"};
  struct Case {
    std::string pattern;  // relative to the folder
    Names expected;
    DWORD expectedError;
  };
  const std::vector<Case> cases = {
      {"\\*", all, 0},
      {"/*.*", all, 0},
      {"\\*.log", {"b.log", "qvprereqhandler.log", "qvprereqhandler1.log"}, 0},
      {"\\qvprereqhandler*.*", {"qvprereqhandler.log", "qvprereqhandler1.log"}, 0},
      {"\\?.txt", {"a.txt"}, 0},
      {"\\*.", {".", "..", "noext", "sub"}, 0},
      {"\\a.txt", {"a.txt"}, 0},
      {"\\sub", {"sub"}, 0},
      {"\\sub\\*", {".", "..", "inner.txt"}, 0},
      {"\\zzz*", {}, ERROR_FILE_NOT_FOUND},
      {"\\missing.txt", {}, ERROR_FILE_NOT_FOUND},
      {"\\nodir\\*", {}, ERROR_PATH_NOT_FOUND},
      {"\\nodir\\a.txt", {}, ERROR_PATH_NOT_FOUND},
      {"\\a.txt\\*", {}, ERROR_PATH_NOT_FOUND},
      {"\\s*\\*", {}, ERROR_INVALID_NAME},
      {"\\sub\\", {}, ERROR_FILE_NOT_FOUND},
  };
  for (const auto& c : cases) {
    DWORD error = 0xdeadbeef;
    EXPECT_EQ(List(dir_.str() + c.pattern, error), c.expected) << c.pattern;
    EXPECT_EQ(error, c.expectedError) << c.pattern;
  }
}

TEST_F(FindTest, EntriesCarryAttributesAndSizes) {
  chmod((dir_ / "a.txt").c_str(), 0444);
  fs::create_symlink(dir_ / "sub", dir_ / "link");
  struct Case {
    const char* name;
    DWORD attributes;
    DWORD sizeLow;
  };
  const std::vector<Case> cases = {
      {"a.txt", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, 5},
      {"b.log", FILE_ATTRIBUTE_ARCHIVE, 5},
      {"sub", FILE_ATTRIBUTE_DIRECTORY, 0},
      {"..", FILE_ATTRIBUTE_DIRECTORY, 0},
      {"link", FILE_ATTRIBUTE_REPARSE_POINT, 0},
  };
  for (const auto& c : cases) {
    WIN32_FIND_DATAA data;
    std::memset(&data, 0x55, sizeof(data));
    HANDLE search = FindFirstFileA((dir_.str() + "\\" + c.name).c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << c.name;
    EXPECT_STREQ(data.cFileName, c.name);
    EXPECT_EQ(data.dwFileAttributes, c.attributes) << c.name;
    EXPECT_EQ(data.nFileSizeLow, c.sizeLow) << c.name;
    EXPECT_EQ(data.nFileSizeHigh, 0u) << c.name;
    EXPECT_EQ(data.cAlternateFileName[0], '\0') << c.name;
    EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u) << c.name;
    FindClose(search);
  }
}

TEST_F(FindTest, WideSearchOnAMappedDrive) {
  qvtest::ScopedEnv root(qvplatform::kDrivesRootVariable, dir_.str());
  fs::create_directories(dir_ / "C/data");
  qvtest::WriteFileBytes(dir_ / "C/data/\xc3\xa9t\xc3\xa9.txt", "summer");
  qvtest::WriteFileBytes(dir_ / "C/data/bad\xff.txt", "not UTF-8");
  WIN32_FIND_DATAW data;
  SetLastError(0xdeadbeef);
  HANDLE search = FindFirstFileW(u"C:\\data\\*.txt", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::u16string(data.cFileName), u"\u00e9t\u00e9.txt");
  EXPECT_EQ(data.nFileSizeLow, 6u);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(FindNextFileW(search, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(search));

  SetLastError(0xdeadbeef);
  EXPECT_EQ(FindFirstFileW(u"C:\\data\\*.xml", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(FindFirstFileW(u"D:\\data\\*", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FindTest, DeletingWhileEnumeratingRemovesEverything) {
  std::string folder = dir_.str() + "\\sub";
  qvtest::WriteFileBytes(dir_ / "sub/second.txt", "y");
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    std::string name = data.cFileName;
    if (name != "." && name != "..") {
      EXPECT_TRUE(DeleteFileA((folder + "\\" + name).c_str())) << name;
    }
  } while (FindNextFileA(search, &data));
  FindClose(search);
  EXPECT_TRUE(RemoveDirectoryA(folder.c_str()));
  EXPECT_FALSE(fs::exists(dir_ / "sub"));
}

TEST(FindClose, RejectsOtherHandles) {
  qvtest::TempDir dir;
  qvtest::WriteFileBytes(dir / "f", "x");
  HANDLE file = CreateFileA((dir / "f").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  WIN32_FIND_DATAA data;
  for (HANDLE h : {file, static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(FindClose(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
  EXPECT_TRUE(CloseHandle(file));
}

}  // namespace
