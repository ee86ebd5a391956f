#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "win32.h"

namespace {

namespace fs = std::filesystem;

// A folder holding: file.txt ("data"), readonly.txt ("locked", no write bits), folder/ with
// folder/inner.txt, empty/, link.txt -> file.txt, and outside.txt as the target of planted links.
class FileOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qvtest::WriteFileBytes(dir_ / "file.txt", "data");
    qvtest::WriteFileBytes(dir_ / "readonly.txt", "locked");
    chmod((dir_ / "readonly.txt").c_str(), 0444);
    fs::create_directory(dir_ / "folder");
    qvtest::WriteFileBytes(dir_ / "folder/inner.txt", "inner");
    fs::create_directory(dir_ / "empty");
    qvtest::WriteFileBytes(dir_ / "outside.txt", "outside");
    fs::create_symlink(dir_ / "file.txt", dir_ / "link.txt");
  }
  std::string P(const std::string& relative) const { return dir_.str() + "\\" + relative; }
  // The same entry as a native path, for checks made around the layer.
  fs::path N(const std::string& relative) const { return qvplatform::ToNativePath(P(relative).c_str()); }

  qvtest::TempDir dir_;
};

TEST_F(FileOpsTest, GetFileAttributes) {
  struct Case {
    const char* path;
    DWORD expected;
    DWORD expectedError;
  };
  const std::vector<Case> cases = {
      {"file.txt", FILE_ATTRIBUTE_ARCHIVE, 0xdeadbeef},
      {"readonly.txt", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, 0xdeadbeef},
      {"folder", FILE_ATTRIBUTE_DIRECTORY, 0xdeadbeef},
      {"folder\\", FILE_ATTRIBUTE_DIRECTORY, 0xdeadbeef},
      {"link.txt", FILE_ATTRIBUTE_ARCHIVE, 0xdeadbeef},
      {"missing.txt", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
      {"missing\\x.txt", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
      {"file.txt\\x", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : cases) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetFileAttributesA(P(c.path).c_str()), c.expected) << c.path;
    EXPECT_EQ(GetLastError(), c.expectedError) << c.path;
  }
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExA(P("file.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(data.nFileSizeLow, 4u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetFileAttributesExA(P("missing.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FileOpsTest, SetFileAttributesTogglesReadOnly) {
  std::string file = P("file.txt");
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesA(file.c_str()), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteFileA(file.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA(file.c_str()), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_TRUE(DeleteFileA(file.c_str()));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetFileAttributesA(P("missing.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FileOpsTest, DeleteFile) {
  struct Case {
    const char* path;
    BOOL expected;
    DWORD expectedError;
    const char* stillThere;  // an entry that must survive, or null
  };
  const std::vector<Case> cases = {
      {"readonly.txt", FALSE, ERROR_ACCESS_DENIED, "readonly.txt"},
      {"folder", FALSE, ERROR_ACCESS_DENIED, "folder"},
      {"missing.txt", FALSE, ERROR_FILE_NOT_FOUND, nullptr},
      {"missing\\x.txt", FALSE, ERROR_PATH_NOT_FOUND, nullptr},
      {"link.txt", TRUE, 0xdeadbeef, "file.txt"},
      {"file.txt", TRUE, 0xdeadbeef, nullptr},
  };
  for (const auto& c : cases) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(DeleteFileA(P(c.path).c_str()), c.expected) << c.path;
    EXPECT_EQ(GetLastError(), c.expectedError) << c.path;
    if (c.expected) {
      EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / c.path))) << c.path;
    }
    if (c.stillThere) {
      EXPECT_TRUE(fs::exists(dir_ / c.stillThere)) << c.path;
    }
  }
}

TEST_F(FileOpsTest, DeleteFileRespectsDeleteSharing) {
  std::string file = P("file.txt");
  struct Case {
    DWORD share;
    bool deletes;
  };
  for (const Case& c : {Case{FILE_SHARE_READ | FILE_SHARE_WRITE, false}, Case{FILE_SHARE_DELETE, true}}) {
    qvtest::WriteFileBytes(dir_ / "file.txt", "data");
    HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(DeleteFileA(file.c_str()), c.deletes ? TRUE : FALSE) << c.share;
    EXPECT_EQ(GetLastError(), c.deletes ? 0xdeadbeef : ERROR_SHARING_VIOLATION) << c.share;
    CloseHandle(h);
  }
  FILE* stream = crt_fopen(file.c_str(), "a+");
  ASSERT_NE(stream, nullptr);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteFileA(file.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileExA(file.c_str(), P("renamed.txt").c_str(), 0));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileExA(P("outside.txt").c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  fclose(stream);
  EXPECT_TRUE(DeleteFileA(file.c_str()));
}

TEST_F(FileOpsTest, CopyFile) {
  fs::create_symlink(dir_ / "outside.txt", dir_ / "planted.txt");
  struct Case {
    const char* name;
    const char* from;
    const char* to;
    BOOL failIfExists;
    BOOL expected;
    DWORD expectedError;
    const char* toContent;   // content of `to` afterwards (through a link: of outside.txt), null: absent
  };
  const std::vector<Case> cases = {
      {"to a new file", "file.txt", "copy.txt", TRUE, TRUE, 0xdeadbeef, "data"},
      {"over an existing file, refused", "folder\\inner.txt", "copy.txt", TRUE, FALSE, ERROR_FILE_EXISTS, "data"},
      {"over an existing file", "folder\\inner.txt", "copy.txt", FALSE, TRUE, 0xdeadbeef, "inner"},
      {"missing source", "missing.txt", "copy2.txt", FALSE, FALSE, ERROR_FILE_NOT_FOUND, nullptr},
      {"missing source folder", "nodir\\x.txt", "copy2.txt", FALSE, FALSE, ERROR_PATH_NOT_FOUND, nullptr},
      {"missing target folder", "file.txt", "nodir\\x.txt", FALSE, FALSE, ERROR_PATH_NOT_FOUND, nullptr},
      {"over a read-only file", "file.txt", "readonly.txt", FALSE, FALSE, ERROR_ACCESS_DENIED, "locked"},
      {"over a planted link", "file.txt", "planted.txt", FALSE, FALSE, ERROR_ACCESS_DENIED, "outside"},
      {"onto itself", "file.txt", "file.txt", FALSE, FALSE, ERROR_SHARING_VIOLATION, "data"},
      {"a folder", "folder", "copy3.txt", FALSE, FALSE, ERROR_ACCESS_DENIED, nullptr},
  };
  for (const auto& c : cases) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CopyFileA(P(c.from).c_str(), P(c.to).c_str(), c.failIfExists), c.expected) << c.name;
    EXPECT_EQ(GetLastError(), c.expectedError) << c.name;
    fs::path to = std::string(c.to) == "planted.txt" ? dir_ / "outside.txt" : N(c.to);
    if (c.toContent)
      EXPECT_EQ(qvtest::ReadFileBytes(to), c.toContent) << c.name;
    else
      EXPECT_FALSE(fs::exists(to)) << c.name;
  }
}

TEST_F(FileOpsTest, CopyFileKeepsReadOnlyAndReadsALiveLog) {
  ASSERT_TRUE(CopyFileA(P("readonly.txt").c_str(), P("copy.txt").c_str(), TRUE));
  EXPECT_EQ(GetFileAttributesA(P("copy.txt").c_str()), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);

  FILE* log = crt_fopen(P("live.log").c_str(), "a+");
  ASSERT_NE(log, nullptr);
  fputs("line\n", log);
  fflush(log);
  EXPECT_TRUE(CopyFileA(P("live.log").c_str(), P("live1.log").c_str(), FALSE));
  fclose(log);
  EXPECT_EQ(qvtest::ReadFileBytes(dir_ / "live1.log"), "line\r\n");
}

TEST_F(FileOpsTest, MoveFileEx) {
  struct Case {
    const char* name;
    const char* from;
    const char* to;
    DWORD flags;
    BOOL expected;
    DWORD expectedError;
    const char* toContent;  // null: `to` is not a file afterwards
  };
  const std::vector<Case> cases = {
      {"to a new name", "file.txt", "moved.txt", 0, TRUE, 0xdeadbeef, "data"},
      {"over an existing file", "moved.txt", "outside.txt", 0, FALSE, ERROR_ALREADY_EXISTS, "outside"},
      {"replacing", "moved.txt", "outside.txt", MOVEFILE_REPLACE_EXISTING, TRUE, 0xdeadbeef, "data"},
      {"replacing a folder", "outside.txt", "empty", MOVEFILE_REPLACE_EXISTING, FALSE, ERROR_ACCESS_DENIED, nullptr},
      {"replacing a read-only file", "outside.txt", "readonly.txt", MOVEFILE_REPLACE_EXISTING, FALSE,
       ERROR_ACCESS_DENIED, "locked"},
      {"missing source", "missing.txt", "x.txt", 0, FALSE, ERROR_FILE_NOT_FOUND, nullptr},
      {"missing target folder", "outside.txt", "nodir\\x.txt", MOVEFILE_COPY_ALLOWED, FALSE, ERROR_PATH_NOT_FOUND,
       nullptr},
      {"a read-only file", "readonly.txt", "ro2.txt", 0, TRUE, 0xdeadbeef, "locked"},
  };
  for (const auto& c : cases) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(MoveFileExA(P(c.from).c_str(), P(c.to).c_str(), c.flags), c.expected) << c.name;
    EXPECT_EQ(GetLastError(), c.expectedError) << c.name;
    if (c.expected) {
      EXPECT_FALSE(fs::exists(N(c.from))) << c.name;
    }
    if (c.toContent)
      EXPECT_EQ(qvtest::ReadFileBytes(N(c.to)), c.toContent) << c.name;
    else
      EXPECT_FALSE(fs::is_regular_file(N(c.to))) << c.name;
  }
}

TEST_F(FileOpsTest, MoveFileExAcrossFileSystemsNeedsCopyAllowed) {
  fs::path other = "/dev/shm";
  struct stat here {}, there {};
  if (stat(dir_.path().c_str(), &here) != 0 || stat(other.c_str(), &there) != 0 || here.st_dev == there.st_dev)
    GTEST_SKIP() << "no second file system";
  fs::path target = other / ("qvtest-move-" + std::to_string(getpid()));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileExA(P("file.txt").c_str(), target.c_str(), 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
  EXPECT_TRUE(MoveFileExA(P("file.txt").c_str(), target.c_str(), MOVEFILE_COPY_ALLOWED));
  EXPECT_FALSE(fs::exists(N("file.txt")));
  EXPECT_EQ(qvtest::ReadFileBytes(target), "data");
  fs::remove(target);
}

TEST_F(FileOpsTest, CreateAndRemoveDirectory) {
  struct Case {
    const char* name;
    BOOL (*operation)(LPCSTR);
    const char* path;
    BOOL expected;
    DWORD expectedError;
  };
  auto create = [](LPCSTR path) { return CreateDirectoryA(path, nullptr); };
  const std::vector<Case> cases = {
      {"create", +create, "new", TRUE, 0xdeadbeef},
      {"create existing", +create, "new", FALSE, ERROR_ALREADY_EXISTS},
      {"create over a file", +create, "file.txt", FALSE, ERROR_ALREADY_EXISTS},
      {"create without parent", +create, "nodir\\new", FALSE, ERROR_PATH_NOT_FOUND},
      {"remove empty", RemoveDirectoryA, "new", TRUE, 0xdeadbeef},
      {"remove not empty", RemoveDirectoryA, "folder", FALSE, ERROR_DIR_NOT_EMPTY},
      {"remove a file", RemoveDirectoryA, "file.txt", FALSE, ERROR_DIRECTORY},
      {"remove missing", RemoveDirectoryA, "missing", FALSE, ERROR_FILE_NOT_FOUND},
      {"remove missing parent", RemoveDirectoryA, "nodir\\missing", FALSE, ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : cases) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(c.operation(P(c.path).c_str()), c.expected) << c.name;
    EXPECT_EQ(GetLastError(), c.expectedError) << c.name;
  }
  EXPECT_TRUE(fs::exists(dir_ / "folder/inner.txt"));
}

TEST_F(FileOpsTest, RemoveDirectoryOnALinkRemovesOnlyTheLink) {
  fs::create_directory_symlink(dir_ / "folder", dir_ / "dirlink");
  EXPECT_TRUE(RemoveDirectoryA(P("dirlink").c_str()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "dirlink")));
  EXPECT_TRUE(fs::exists(dir_ / "folder/inner.txt"));
}

TEST_F(FileOpsTest, WideVariantsMapDrivePaths) {
  qvtest::ScopedEnv root(qvplatform::kDrivesRootVariable, dir_.str());
  fs::create_directory(dir_ / "C");
  EXPECT_TRUE(CreateDirectoryW(u"C:\\w\u00e9", nullptr));
  EXPECT_TRUE(fs::is_directory(dir_ / "C/w\xc3\xa9"));
  HANDLE h = CreateFileW(u"C:\\w\u00e9\\f.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesW(u"C:/w\u00e9/f.txt"), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_TRUE(CopyFileW(u"C:\\w\u00e9\\f.txt", u"C:\\g.txt", TRUE));
  EXPECT_TRUE(MoveFileExW(u"C:\\g.txt", u"C:\\h.txt", 0));
  EXPECT_TRUE(DeleteFileW(u"C:\\h.txt"));
  EXPECT_TRUE(DeleteFileW(u"C:\\w\u00e9\\f.txt"));
  EXPECT_TRUE(RemoveDirectoryW(u"C:\\w\u00e9"));
  EXPECT_FALSE(fs::exists(dir_ / "C/w\xc3\xa9"));
  const char16_t broken[] = {u'C', u':', u'\\', 0xD800, 0};
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteFileW(broken));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
}

}  // namespace
