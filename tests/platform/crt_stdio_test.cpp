#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "win32.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(FILE* stream) {
  std::string text;
  char buffer[64];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), stream)) > 0) text.append(buffer, n);
  return text;
}

class CrtStdioTest : public ::testing::Test {
 protected:
  std::string P(const std::string& name) const { return (dir_ / name).string(); }
  qvtest::TempDir dir_;
};

TEST_F(CrtStdioTest, WritingTranslatesLineEndsInTextModeOnly) {
  struct Case {
    const char* mode;
    std::optional<std::string> existing;
    const char* written;
    std::string onDisk;
  };
  const std::vector<Case> cases = {
      {"w", "old", "a\nb\n", "a\r\nb\r\n"},
      {"wt", std::nullopt, "line\n", "line\r\n"},
      {"wb", "old", "a\nb\n", "a\nb\n"},
      {"w", std::nullopt, "already\r\n", "already\r\r\n"},
      {"a", "first\r\n", "second\n", "first\r\nsecond\r\n"},
      {"a+", "first\r\n", "second\n", "first\r\nsecond\r\n"},
      {"a+", std::string("first\r\n\x1a"), "second\n", "first\r\nsecond\r\n"},
      {"ab", std::string("bin\x1a"), "x\n", "bin\x1ax\n"},
      {"a+b", std::nullopt, "x\n", "x\n"},
      {"w+", std::nullopt, "", ""},
      {"wx", std::nullopt, "new\n", "new\r\n"},
  };
  for (const auto& c : cases) {
    fs::remove(P("f.txt"));
    if (c.existing) qvtest::WriteFileBytes(P("f.txt"), *c.existing);
    FILE* stream = crt_fopen(P("f.txt").c_str(), c.mode);
    ASSERT_NE(stream, nullptr) << c.mode;
    EXPECT_EQ(fputs(c.written, stream) >= 0, true) << c.mode;
    EXPECT_EQ(fclose(stream), 0) << c.mode;
    EXPECT_EQ(qvtest::ReadFileBytes(P("f.txt")), c.onDisk) << c.mode << " over " << c.existing.value_or("(none)");
  }
}

TEST_F(CrtStdioTest, ReadingTranslatesCrLfInTextModeOnly) {
  std::string bigCrLfAcrossBuffers = std::string(4095, 'x') + "\r\n" + "tail";
  struct Case {
    const char* mode;
    std::string onDisk;
    std::string read;
  };
  const std::vector<Case> cases = {
      {"r", "a\r\nb\r\n", "a\nb\n"},
      {"rt", "lone\rcr\n", "lone\rcr\n"},
      {"r", "ends with cr\r", "ends with cr\r"},
      {"r", "cr cr lf\r\r\n", "cr cr lf\r\n"},
      {"r", std::string("before\x1a after"), "before"},
      {"rb", "a\r\nb\x1a", "a\r\nb\x1a"},
      {"r", bigCrLfAcrossBuffers, std::string(4095, 'x') + "\ntail"},
      {"r+", "x\r\n", "x\n"},
      {"a+", "appendable\r\n", "appendable\n"},
  };
  for (const auto& c : cases) {
    qvtest::WriteFileBytes(P("f.txt"), c.onDisk);
    FILE* stream = crt_fopen(P("f.txt").c_str(), c.mode);
    ASSERT_NE(stream, nullptr) << c.mode;
    EXPECT_EQ(ReadAll(stream), c.read) << c.mode << " reading " << c.onDisk.substr(0, 20);
    fclose(stream);
  }
}

TEST_F(CrtStdioTest, TextRoundTripAndPositions) {
  FILE* out = crt_fopen(P("log.txt").c_str(), "a+");
  ASSERT_NE(out, nullptr);
  fprintf(out, "Log open time: %s\n", "2026-12-11");
  fprintf(out, "[ %d ] done\n", 42);
  fflush(out);
  EXPECT_EQ(ftell(out), 40);
  // Append mode writes at the end wherever the position stands.
  fseek(out, 0, SEEK_SET);
  fputs("last\n", out);
  fclose(out);
  EXPECT_EQ(qvtest::ReadFileBytes(P("log.txt")), "Log open time: 2026-12-11\r\n[ 42 ] done\r\nlast\r\n");

  FILE* in = crt_fopen(P("log.txt").c_str(), "r");
  ASSERT_NE(in, nullptr);
  char line[64];
  ASSERT_NE(fgets(line, sizeof(line), in), nullptr);
  EXPECT_STREQ(line, "Log open time: 2026-12-11\n");
  EXPECT_EQ(ftell(in), 27);
  fseek(in, 0, SEEK_END);
  EXPECT_EQ(ftell(in), 46);
  fseek(in, 27, SEEK_SET);
  ASSERT_NE(fgets(line, sizeof(line), in), nullptr);
  EXPECT_STREQ(line, "[ 42 ] done\n");
  EXPECT_EQ(ftell(in), 40);
  fclose(in);
}

TEST_F(CrtStdioTest, SeekingInTextModeUsesFileOffsets) {
  // Line ends around the places where a reader's block boundaries would fall.
  std::string onDisk;
  while (onDisk.size() < 20000) onDisk += "0123456\r\n";
  qvtest::WriteFileBytes(P("f.txt"), onDisk);
  FILE* in = crt_fopen(P("f.txt").c_str(), "r");
  ASSERT_NE(in, nullptr);
  for (long offset : {0L, 1L, 7L, 8L, 9L, 4095L, 4096L, 8190L, 8191L, 8192L, 8193L, 8199L, 16384L, 16385L}) {
    ASSERT_EQ(fseek(in, offset, SEEK_SET), 0) << offset;
    std::string expected = onDisk.substr(static_cast<size_t>(offset), 1);
    if (expected == "\r") expected = "\n";  // the CR of a CR LF reads as the line end
    int c = fgetc(in);
    EXPECT_EQ(std::string(1, static_cast<char>(c)), expected) << offset;
    EXPECT_EQ(ftell(in), offset + (onDisk[offset] == '\r' ? 2 : 1)) << offset;
  }
  fclose(in);
}

TEST_F(CrtStdioTest, OpenFailuresSetErrno) {
  qvtest::WriteFileBytes(P("exists.txt"), "x");
  qvtest::WriteFileBytes(P("readonly.txt"), "locked");
  chmod(P("readonly.txt").c_str(), 0444);
  qvtest::WriteFileBytes(P("outside.txt"), "outside");
  fs::create_symlink(P("outside.txt"), P("planted.log"));
  fs::create_directory(P("folder"));
  struct Case {
    std::string path;
    const char* mode;
    int expectedErrno;
  };
  const std::vector<Case> cases = {
      {P("missing.txt"), "r", ENOENT},
      {P("nodir/x.txt"), "w", ENOENT},
      {P("nodir/x.txt"), "a+", ENOENT},
      {P("exists.txt"), "wx", EEXIST},
      {P("readonly.txt"), "a", EACCES},
      {P("readonly.txt"), "w", EACCES},
      {P("readonly.txt"), "r+", EACCES},
      {P("planted.log"), "a+", EACCES},
      {P("planted.log"), "w", EACCES},
      {P("folder"), "r", EACCES},
      {P("exists.txt"), "q", EINVAL},
      {P("exists.txt"), "rw", EINVAL},
      {P("exists.txt"), "r+b+", EINVAL},
      {"", "r", EINVAL},
  };
  for (const auto& c : cases) {
    errno = 0;
    EXPECT_EQ(crt_fopen(c.path.c_str(), c.mode), nullptr) << c.path << " " << c.mode;
    EXPECT_EQ(errno, c.expectedErrno) << c.path << " " << c.mode;
  }
  EXPECT_EQ(qvtest::ReadFileBytes(P("outside.txt")), "outside");
  EXPECT_EQ(qvtest::ReadFileBytes(P("readonly.txt")), "locked");
  EXPECT_EQ(qvtest::ReadFileBytes(P("exists.txt")), "x");

  // Reading follows a link: only writing through one is refused.
  FILE* viaLink = crt_fopen(P("planted.log").c_str(), "r");
  ASSERT_NE(viaLink, nullptr);
  EXPECT_EQ(ReadAll(viaLink), "outside");
  fclose(viaLink);
}

TEST_F(CrtStdioTest, StreamsShareReadAndWrite) {
  std::string path = P("shared.log");
  FILE* first = crt_fopen(path.c_str(), "a+");
  ASSERT_NE(first, nullptr);
  FILE* second = crt_fopen(path.c_str(), "a+");
  ASSERT_NE(second, nullptr);
  fputs("one\n", first);
  fflush(first);
  fputs("two\n", second);
  fflush(second);
  fclose(second);

  // An exclusive open fails while a stream is open, and a stream cannot open past an exclusive one.
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  fclose(first);
  HANDLE exclusive = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  errno = 0;
  EXPECT_EQ(crt_fopen(path.c_str(), "r"), nullptr);
  EXPECT_EQ(errno, EACCES);
  CloseHandle(exclusive);
  EXPECT_EQ(qvtest::ReadFileBytes(path), "one\r\ntwo\r\n");
}

TEST_F(CrtStdioTest, DrivePathsAndWideNames) {
  qvtest::ScopedEnv root(qvplatform::kDrivesRootVariable, dir_.str());
  fs::create_directories(dir_ / "C/logs");
  FILE* stream = crt_wfopen(u"C:\\logs\\qv\u00e9.log", u"w");
  ASSERT_NE(stream, nullptr);
  fputs("x\n", stream);
  fclose(stream);
  EXPECT_EQ(qvtest::ReadFileBytes(dir_ / "C/logs/qv\xc3\xa9.log"), "x\r\n");
}

TEST_F(CrtStdioTest, MkdirAndAccess) {
  qvtest::ScopedEnv root(qvplatform::kDrivesRootVariable, dir_.str());
  fs::create_directory(dir_ / "C");
  qvtest::WriteFileBytes(dir_ / "C/readonly.txt", "x");
  chmod((dir_ / "C/readonly.txt").c_str(), 0444);
  struct MkdirCase {
    const char* path;
    int expected;
    int expectedErrno;
  };
  const std::vector<MkdirCase> mkdirCases = {
      {"C:\\logs", 0, 0},
      {"C:\\logs", -1, EEXIST},
      {"C:\\readonly.txt", -1, EEXIST},
      {"C:\\nodir\\logs", -1, ENOENT},
      {"C:\\readonly.txt\\x", -1, ENOENT},
  };
  for (const auto& c : mkdirCases) {
    errno = 0;
    EXPECT_EQ(_mkdir(c.path), c.expected) << c.path;
    EXPECT_EQ(errno, c.expectedErrno) << c.path;
  }
  EXPECT_TRUE(fs::is_directory(dir_ / "C/logs"));

  struct AccessCase {
    const char* path;
    int mode;
    int expected;
    int expectedErrno;
  };
  const std::vector<AccessCase> accessCases = {
      {"C:\\logs", 0, 0, 0},          {"C:\\logs", 6, 0, 0},
      {"C:\\readonly.txt", 4, 0, 0},  {"C:\\readonly.txt", 2, -1, EACCES},
      {"C:\\missing", 0, -1, ENOENT}, {"C:\\logs", 1, -1, EINVAL},
  };
  for (const auto& c : accessCases) {
    errno = 0;
    EXPECT_EQ(_access(c.path, c.mode), c.expected) << c.path << " mode " << c.mode;
    EXPECT_EQ(errno, c.expectedErrno) << c.path << " mode " << c.mode;
  }
}

}  // namespace
