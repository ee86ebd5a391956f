#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "win32.h"

namespace {

namespace fs = std::filesystem;

// What stands at the path before the call.
enum class Before { kNothing, kFile, kReadOnlyFile, kFolder, kLinkToFile, kDanglingLink, kNoParent };

const char* const kOriginal = "original";

fs::path VictimIn(const fs::path& dir) { return dir / "victim.txt"; }

// Puts `before` in place at dir/name and returns the path to use.
std::string Prepare(const fs::path& dir, Before before, const std::string& name = "target.txt") {
  fs::path path = dir / name;
  switch (before) {
    case Before::kNothing: break;
    case Before::kFile: qvtest::WriteFileBytes(path, kOriginal); break;
    case Before::kReadOnlyFile:
      qvtest::WriteFileBytes(path, kOriginal);
      chmod(path.c_str(), 0444);
      break;
    case Before::kFolder: fs::create_directory(path); break;
    case Before::kLinkToFile:
      qvtest::WriteFileBytes(VictimIn(dir), kOriginal);
      fs::create_symlink(VictimIn(dir), path);
      break;
    case Before::kDanglingLink: fs::create_symlink(VictimIn(dir), path); break;
    case Before::kNoParent: path = dir / "missing" / name; break;
  }
  return path.string();
}

class FilesTest : public ::testing::Test {
 protected:
  std::string Prepare(Before before, const std::string& name = "target.txt") {
    return ::Prepare(dir_.path(), before, name);
  }
  qvtest::TempDir dir_;
};

TEST(CreateFile, Dispositions) {
  struct Case {
    const char* name;
    Before before;
    DWORD access;
    DWORD disposition;
    DWORD flags;
    bool opens;
    DWORD expectedError;
    const char* contentAfter;  // null: no file afterwards
  };
  const DWORD rw = GENERIC_READ | GENERIC_WRITE;
  const std::vector<Case> cases = {
      {"create new", Before::kNothing, GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, true, 0, ""},
      {"create new over file", Before::kFile, GENERIC_WRITE, CREATE_NEW, 0, false, ERROR_FILE_EXISTS, kOriginal},
      {"create new over folder", Before::kFolder, GENERIC_WRITE, CREATE_NEW, 0, false, ERROR_FILE_EXISTS, nullptr},
      {"create new, no folder", Before::kNoParent, GENERIC_WRITE, CREATE_NEW, 0, false, ERROR_PATH_NOT_FOUND, nullptr},
      {"create always", Before::kNothing, GENERIC_WRITE, CREATE_ALWAYS, 0, true, 0, ""},
      {"create always over file", Before::kFile, GENERIC_WRITE, CREATE_ALWAYS, 0, true, ERROR_ALREADY_EXISTS, ""},
      {"create always over read-only", Before::kReadOnlyFile, GENERIC_WRITE, CREATE_ALWAYS, 0, false,
       ERROR_ACCESS_DENIED, kOriginal},
      {"open existing missing", Before::kNothing, GENERIC_READ, OPEN_EXISTING, 0, false, ERROR_FILE_NOT_FOUND, nullptr},
      {"open existing, no folder", Before::kNoParent, GENERIC_READ, OPEN_EXISTING, 0, false, ERROR_PATH_NOT_FOUND,
       nullptr},
      {"open existing", Before::kFile, GENERIC_READ, OPEN_EXISTING, 0, true, 0, kOriginal},
      {"open read-only for reading", Before::kReadOnlyFile, GENERIC_READ, OPEN_EXISTING, 0, true, 0, kOriginal},
      {"open read-only for writing", Before::kReadOnlyFile, rw, OPEN_EXISTING, 0, false, ERROR_ACCESS_DENIED,
       kOriginal},
      {"open for size only", Before::kFile, READ_CONTROL, OPEN_EXISTING, 0, true, 0, kOriginal},
      {"open always missing", Before::kNothing, rw, OPEN_ALWAYS, 0, true, 0, ""},
      {"open always existing", Before::kFile, rw, OPEN_ALWAYS, 0, true, ERROR_ALREADY_EXISTS, kOriginal},
      {"truncate existing", Before::kFile, GENERIC_WRITE, TRUNCATE_EXISTING, 0, true, 0, ""},
      {"truncate without write access", Before::kFile, GENERIC_READ, TRUNCATE_EXISTING, 0, false,
       ERROR_INVALID_PARAMETER, kOriginal},
      {"truncate missing", Before::kNothing, GENERIC_WRITE, TRUNCATE_EXISTING, 0, false, ERROR_FILE_NOT_FOUND, nullptr},
      {"folder without backup semantics", Before::kFolder, GENERIC_READ, OPEN_EXISTING, 0, false,
       ERROR_ACCESS_DENIED, nullptr},
      {"folder with backup semantics", Before::kFolder, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
       true, 0, nullptr},
      {"unknown disposition", Before::kFile, GENERIC_READ, 0, 0, false, ERROR_INVALID_PARAMETER, kOriginal},
      {"read through a link", Before::kLinkToFile, GENERIC_READ, OPEN_EXISTING, 0, true, 0, kOriginal},
      {"create new over a dangling link", Before::kDanglingLink, GENERIC_WRITE, CREATE_NEW, 0, false,
       ERROR_FILE_EXISTS, nullptr},
      {"create always over a link", Before::kLinkToFile, GENERIC_WRITE, CREATE_ALWAYS, 0, false,
       ERROR_ACCESS_DENIED, kOriginal},
      {"open always over a dangling link", Before::kDanglingLink, GENERIC_WRITE, OPEN_ALWAYS, 0, false,
       ERROR_ACCESS_DENIED, nullptr},
      {"write through a link", Before::kLinkToFile, GENERIC_WRITE, OPEN_EXISTING, 0, false, ERROR_ACCESS_DENIED,
       kOriginal},
  };
  for (const auto& c : cases) {
    qvtest::TempDir fresh;
    std::string path = ::Prepare(fresh.path(), c.before);
    SetLastError(0xdeadbeef);
    HANDLE h = CreateFileA(path.c_str(), c.access, 0, nullptr, c.disposition, c.flags, nullptr);
    DWORD error = GetLastError();
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens) << c.name;
    EXPECT_EQ(error, c.expectedError) << c.name;
    if (h != INVALID_HANDLE_VALUE) {
      EXPECT_TRUE(CloseHandle(h)) << c.name;
    }
    bool isLink = c.before == Before::kLinkToFile || c.before == Before::kDanglingLink;
    fs::path checked = isLink ? VictimIn(fresh.path()) : fs::path(path);
    if (c.contentAfter) {
      EXPECT_TRUE(fs::is_regular_file(checked)) << c.name;
      EXPECT_EQ(qvtest::ReadFileBytes(checked), c.contentAfter) << c.name;
    } else if (c.before != Before::kFolder) {
      EXPECT_FALSE(fs::exists(checked)) << c.name;
    }
  }
}

TEST_F(FilesTest, CreateNewWithReadOnlyAttributeMakesReadOnlyFile) {
  std::string path = Prepare(Before::kNothing);
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_READONLY, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(h, "abc", 3, &written, nullptr));
  EXPECT_EQ(written, 3u);
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesA(path.c_str()), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
}

TEST_F(FilesTest, ReadWriteSizeAndPointer) {
  std::string path = Prepare(Before::kNothing);
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD count = 99;
  ASSERT_TRUE(WriteFile(h, "hello world", 11, &count, nullptr));
  EXPECT_EQ(count, 11u);

  DWORD high = 99;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetFileSize(h, &high), 11u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  LARGE_INTEGER size{};
  EXPECT_TRUE(GetFileSizeEx(h, &size));
  EXPECT_EQ(size.QuadPart, 11);

  EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
  char buffer[16] = {};
  count = 99;
  ASSERT_TRUE(ReadFile(h, buffer, sizeof(buffer), &count, nullptr));
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(std::string(buffer, count), "world");
  count = 99;
  EXPECT_TRUE(ReadFile(h, buffer, sizeof(buffer), &count, nullptr));
  EXPECT_EQ(count, 0u);

  EXPECT_EQ(SetFilePointer(h, -5, nullptr, FILE_END), 6u);
  LARGE_INTEGER move{}, position{};
  move.QuadPart = -2;
  EXPECT_TRUE(SetFilePointerEx(h, move, &position, FILE_CURRENT));
  EXPECT_EQ(position.QuadPart, 4);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(SetFilePointer(h, -5, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  EXPECT_TRUE(SetEndOfFile(h));
  EXPECT_TRUE(FlushFileBuffers(h));
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(qvtest::ReadFileBytes(path), "hell");
}

TEST_F(FilesTest, HandleAccessIsChecked) {
  std::string path = Prepare(Before::kFile);
  struct Case {
    const char* name;
    DWORD access;
    bool canRead;
    bool canWrite;
  };
  const std::vector<Case> cases = {
      {"read", GENERIC_READ, true, false},
      {"write", GENERIC_WRITE, false, true},
      {"append data", FILE_APPEND_DATA, false, true},
      {"size only", READ_CONTROL, false, false},
  };
  for (const auto& c : cases) {
    HANDLE h = CreateFileA(path.c_str(), c.access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << c.name;
    char buffer[4];
    DWORD count = 99;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(ReadFile(h, buffer, sizeof(buffer), &count, nullptr), c.canRead ? TRUE : FALSE) << c.name;
    EXPECT_EQ(GetLastError(), c.canRead ? 0xdeadbeef : ERROR_ACCESS_DENIED) << c.name;
    count = 99;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WriteFile(h, "", 0, &count, nullptr), c.canWrite ? TRUE : FALSE) << c.name;
    EXPECT_EQ(count, 0u) << c.name;
    EXPECT_EQ(GetLastError(), c.canWrite ? 0xdeadbeef : ERROR_ACCESS_DENIED) << c.name;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FlushFileBuffers(h), c.canWrite ? TRUE : FALSE) << c.name;
    LARGE_INTEGER size{};
    EXPECT_TRUE(GetFileSizeEx(h, &size)) << c.name;
    EXPECT_EQ(size.QuadPart, 8) << c.name;
    CloseHandle(h);
  }
}

TEST_F(FilesTest, AppendDataWritesAtTheEnd) {
  std::string path = Prepare(Before::kFile);
  HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  SetFilePointer(h, 0, nullptr, FILE_BEGIN);
  DWORD count = 0;
  EXPECT_TRUE(WriteFile(h, "+more", 5, &count, nullptr));
  CloseHandle(h);
  EXPECT_EQ(qvtest::ReadFileBytes(path), std::string(kOriginal) + "+more");
}

TEST(FileHandles, BadHandlesFail) {
  for (HANDLE h : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(0x7ff0)}) {
    char buffer[4];
    DWORD count = 99;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ReadFile(h, buffer, 4, &count, nullptr));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetFileSize(h, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
}

TEST_F(FilesTest, DeleteOnCloseRemovesTheFile) {
  std::string path = Prepare(Before::kNothing);
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(fs::exists(path));
  CloseHandle(h);
  EXPECT_FALSE(fs::exists(path));
}

// Share modes: a second open of the same file while the first is still open.
struct ShareCase {
  const char* name;
  DWORD firstAccess;
  DWORD firstShare;
  DWORD secondAccess;
  DWORD secondShare;
  bool secondOpens;
};

const DWORD kRW = GENERIC_READ | GENERIC_WRITE;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

const std::vector<ShareCase> kShareCases = {
    {"exclusive reader blocks reader", GENERIC_READ, 0, GENERIC_READ, kShareAll, false},
    {"size-only open ignores share modes", GENERIC_READ, 0, READ_CONTROL, 0, true},
    {"shared readers", GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, true},
    {"reader not sharing write blocks writer", GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE, kShareAll, false},
    {"writer blocks a reader that refuses writers", GENERIC_WRITE, kShareAll, GENERIC_READ, FILE_SHARE_READ, false},
    {"log writer and size check", kRW, FILE_SHARE_READ | FILE_SHARE_WRITE, kRW, kShareAll, true},
    {"log writer and exclusive check", kRW, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_READ, 0, false},
};

TEST_F(FilesTest, ShareModesWithinTheProcess) {
  std::string path = Prepare(Before::kFile);
  for (const auto& c : kShareCases) {
    HANDLE first = CreateFileA(path.c_str(), c.firstAccess, c.firstShare, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(first, INVALID_HANDLE_VALUE) << c.name;
    SetLastError(0xdeadbeef);
    HANDLE second = CreateFileA(path.c_str(), c.secondAccess, c.secondShare, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens) << c.name;
    EXPECT_EQ(GetLastError(), c.secondOpens ? ERROR_SUCCESS : ERROR_SHARING_VIOLATION) << c.name;
    if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
    CloseHandle(first);
    // Once the first is closed, the second always opens.
    second = CreateFileA(path.c_str(), c.secondAccess, c.secondShare, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(second, INVALID_HANDLE_VALUE) << c.name;
    CloseHandle(second);
  }
  EXPECT_EQ(qvtest::ReadFileBytes(path), kOriginal);
}

TEST_F(FilesTest, ShareModesAcrossProcesses) {
  std::string path = Prepare(Before::kFile);
  for (const auto& c : kShareCases) {
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      HANDLE first = CreateFileA(path.c_str(), c.firstAccess, c.firstShare, nullptr, OPEN_EXISTING, 0, nullptr);
      char status = first != INVALID_HANDLE_VALUE ? 'y' : 'n';
      (void)!write(ready[1], &status, 1);
      (void)!read(done[0], &status, 1);
      _exit(0);
    }
    char status = 0;
    ASSERT_EQ(read(ready[0], &status, 1), 1);
    ASSERT_EQ(status, 'y') << c.name;
    SetLastError(0xdeadbeef);
    HANDLE second = CreateFileA(path.c_str(), c.secondAccess, c.secondShare, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens) << c.name;
    EXPECT_EQ(GetLastError(), c.secondOpens ? ERROR_SUCCESS : ERROR_SHARING_VIOLATION) << c.name;
    if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
    (void)!write(done[1], "x", 1);
    waitpid(child, nullptr, 0);
    for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
  }
}

TEST_F(FilesTest, TruncateExistingEmptiesAFileOpenForAppending) {
  std::string path = Prepare(Before::kNothing);
  FILE* log = crt_fopen(path.c_str(), "a+");
  ASSERT_NE(log, nullptr);
  fputs("line one\n", log);
  fflush(log);
  HANDLE h = CreateFileA(path.c_str(), kRW, kShareAll, nullptr, TRUNCATE_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  fputs("line two\n", log);
  fclose(log);
  EXPECT_EQ(qvtest::ReadFileBytes(path), "line two\r\n");
}

}  // namespace
