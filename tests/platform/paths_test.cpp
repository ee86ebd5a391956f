#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "win32.h"

namespace {

namespace fs = std::filesystem;

TEST(ToNativePath, MapsWindowsAndPosixPaths) {
  qvtest::ScopedEnv root(qvplatform::kDrivesRootVariable, "/drv");
  struct Case {
    const char* input;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"C:\\a\\b.txt", "/drv/C/a/b.txt"},
      {"c:/a/b", "/drv/C/a/b"},
      {"d:\\Mixed\\Case", "/drv/D/Mixed/Case"},
      {"C:", "/drv/C"},
      {"C:\\", "/drv/C"},
      {"C:file.txt", "/drv/C/file.txt"},
      {"C:\\logs\\\\qvprereqhandler.log", "/drv/C/logs/qvprereqhandler.log"},
      {"C:\\Program Files/agent\\logs/x.log", "/drv/C/Program Files/agent/logs/x.log"},
      {"C:\\a\\.\\b\\", "/drv/C/a/b/"},
      {"C:\\a\\..\\b", "/drv/C/b"},
      {"C:\\a\\..\\..\\..\\etc\\passwd", "/drv/C/etc/passwd"},
      {"\\\\?\\D:\\x", "/drv/D/x"},
      {"/var/log/x", "/var/log/x"},
      {"/var/log/", "/var/log/"},
      {"/var/../../x", "/x"},
      {"/", "/"},
      {"\\tmp\\x", "/tmp/x"},
      {"rel\\file.txt", "rel/file.txt"},
      {"..\\logs", "../logs"},
      {"a\\..\\..\\b", "../b"},
      {".\\", "."},
      {"a/./b//c", "a/b/c"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(qvplatform::ToNativePath(c.input), c.expected) << "input: " << c.input;
  }
  EXPECT_EQ(qvplatform::ToNativePath(nullptr), "");
}

// Whatever mix of names, "." and ".." a drive path holds, it stays inside its drive folder and the
// result holds no "." or ".." component.
TEST(ToNativePath, DrivePathsNeverLeaveTheirDrive) {
  qvtest::ScopedEnv root(qvplatform::kDrivesRootVariable, "/drv");
  const std::vector<std::string> parts = {"..", ".", "a", "b..", "..c", "...", ""};
  const std::vector<std::string> separators = {"\\", "/"};
  // Every path of four parts, each part followed by one of the separators.
  for (size_t n = 0; n < 7 * 7 * 7 * 7 * 2; ++n) {
    std::string path = "C:";
    size_t code = n;
    const std::string& separator = separators[code % 2];
    code /= 2;
    for (int i = 0; i < 4; ++i, code /= 7) path += separator + parts[code % 7];
    std::string native = qvplatform::ToNativePath(path.c_str());
    ASSERT_TRUE(native == "/drv/C" || native.rfind("/drv/C/", 0) == 0) << path << " -> " << native;
    std::string rest = native.substr(6);
    for (const char* bad : {"/../", "/./"}) {
      EXPECT_EQ((rest + "/").find(bad), std::string::npos) << path << " -> " << native;
    }
  }
}

TEST(ToNativePath, DrivesRootComesFromTheEnvironment) {
  struct Case {
    std::optional<std::string> root;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {std::nullopt, "/var/lib/qvagent/drives/C/x"},
      {"", "/var/lib/qvagent/drives/C/x"},
      {"/srv/drives/", "/srv/drives/C/x"},
      {"/srv/drives", "/srv/drives/C/x"},
  };
  for (const auto& c : cases) {
    qvtest::ScopedEnv root(qvplatform::kDrivesRootVariable, c.root);
    EXPECT_EQ(qvplatform::ToNativePath("C:\\x"), c.expected) << "root: " << c.root.value_or("(unset)");
  }
}

TEST(IsAbsolutePath, TellsFixedFromRelative) {
  struct Case {
    const char* path;
    bool absolute;
  };
  const std::vector<Case> cases = {{"C:\\x", true}, {"c:", true}, {"/x", true},     {"\\x", true},
                                   {"x\\y", false}, {".", false}, {"..\\x", false}, {"", false}};
  for (const auto& c : cases) EXPECT_EQ(qvplatform::IsAbsolutePath(c.path), c.absolute) << c.path;
  EXPECT_FALSE(qvplatform::IsAbsolutePath(nullptr));
}

class CurrentDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = fs::current_path(); }
  void TearDown() override { fs::current_path(saved_); }
  fs::path saved_;
  qvtest::TempDir dir_;
};

TEST_F(CurrentDirectoryTest, ReportsSizeWhenBufferTooSmall) {
  fs::current_path(dir_.path());
  const std::string cwd = fs::current_path().string();
  const DWORD length = static_cast<DWORD>(cwd.size());
  struct Case {
    DWORD bufferLength;
    DWORD expectedResult;
    bool filled;
  };
  const std::vector<Case> cases = {
      {0, length + 1, false}, {1, length + 1, false}, {length, length + 1, false},
      {length + 1, length, true}, {4096, length, true}};
  for (const auto& c : cases) {
    std::vector<char> buffer(c.bufferLength + 1, 'x');
    SetLastError(0xdeadbeef);
    DWORD result = GetCurrentDirectoryA(c.bufferLength, c.bufferLength ? buffer.data() : nullptr);
    EXPECT_EQ(result, c.expectedResult) << "buffer length " << c.bufferLength;
    EXPECT_EQ(GetLastError(), 0xdeadbeefu) << "buffer length " << c.bufferLength;
    if (c.filled)
      EXPECT_EQ(std::string(buffer.data()), cwd) << "buffer length " << c.bufferLength;
    else
      EXPECT_EQ(buffer[0], 'x') << "buffer length " << c.bufferLength;
  }
}

TEST_F(CurrentDirectoryTest, SetCurrentDirectoryMapsPathsAndReportsErrors) {
  qvtest::ScopedEnv root(qvplatform::kDrivesRootVariable, dir_.str());
  fs::create_directories(dir_ / "C/work/setup");
  qvtest::WriteFileBytes(dir_ / "C/work/file.txt", "x");
  struct Case {
    std::string path;
    BOOL expectedResult;
    DWORD expectedError;
    fs::path expectedCwd;
  };
  const std::vector<Case> cases = {
      {"C:\\work\\setup", TRUE, 0xdeadbeef, dir_ / "C/work/setup"},
      {"C:/work", TRUE, 0xdeadbeef, dir_ / "C/work"},
      {"setup", TRUE, 0xdeadbeef, dir_ / "C/work/setup"},
      {"..\\..", TRUE, 0xdeadbeef, dir_ / "C"},
      {(dir_ / "C/work").string(), TRUE, 0xdeadbeef, dir_ / "C/work"},
      {"C:\\work\\missing", FALSE, ERROR_FILE_NOT_FOUND, dir_ / "C/work"},
      {"C:\\nowhere\\missing", FALSE, ERROR_PATH_NOT_FOUND, dir_ / "C/work"},
      {"C:\\work\\file.txt", FALSE, ERROR_DIRECTORY, dir_ / "C/work"},
      {"", FALSE, ERROR_PATH_NOT_FOUND, dir_ / "C/work"},
  };
  for (const auto& c : cases) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(SetCurrentDirectoryA(c.path.c_str()), c.expectedResult) << c.path;
    EXPECT_EQ(GetLastError(), c.expectedError) << c.path;
    EXPECT_EQ(fs::current_path(), fs::canonical(c.expectedCwd)) << c.path;
  }
}

}  // namespace
