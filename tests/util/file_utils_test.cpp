#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "support/log_capture.h"
#include "util/file_utils.h"

namespace {

namespace fs = std::filesystem;

std::u16string Wide(const std::string& s) { return qvplatform::Utf8ToUtf16(s).value(); }

TEST(FileUtils, LastFileNames) {
  struct Case {
    const char* in;
    const char* file;
    const char* url;
  };
  const Case cases[] = {
      {"C:\\a\\b\\file.txt", "file.txt", "C:\\a\\b\\file.txt"},
      {"file.txt", "file.txt", "file.txt"},
      {"C:\\a\\", "", "C:\\a\\"},
      {"/agent/file.xml?x=1", "/agent/file.xml?x=1", "file.xml?x=1"},
      {"http://h/p/", "http://h/p/", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetLastFileName(c.in), c.file) << c.in;
    EXPECT_EQ(GetLastUrlFileName(c.in).value(), c.url) << c.in;
  }
  EXPECT_FALSE(GetLastUrlFileName(nullptr).has_value());
}

class CreateFolderTest : public ::testing::Test {
 protected:
  qvtest::TempDir dir_;
  qvtest::TempDir drives_;
  qvtest::ScopedEnv drivesRoot_{"QVAGENT_DRIVES_ROOT", drives_.str()};
  qvtest::LogCapture log_;
};

TEST_F(CreateFolderTest, CreatesTheFolderOfAFilePath) {
  std::string file = dir_.str() + "\\work\\logs\\x.log";
  EXPECT_EQ(CreateFolder(Wide(file).c_str()), 0u);
  EXPECT_TRUE(fs::is_directory(dir_ / "work/logs"));
  EXPECT_FALSE(fs::exists(dir_ / "work/logs/x.log"));
  EXPECT_EQ(CreateFolder(Wide(file).c_str()), 0u);  // already there
  EXPECT_TRUE(log_.Has("[INFO] CreateFolder : The Directory to create is " + dir_.str() + "\\work\\logs\\ "));
}

TEST_F(CreateFolderTest, FolderEndsAtTheLastBackslash) {
  EXPECT_EQ(CreateFolder(Wide(dir_.str() + "\\x\\ab\\b").c_str()), 0u);
  EXPECT_TRUE(fs::is_directory(dir_ / "x/ab"));
  EXPECT_FALSE(fs::exists(dir_ / "x/ab/b"));
}

TEST_F(CreateFolderTest, DriveOnlyPathsAndNoPath) {
  for (const char16_t* path : {u"C:\\x.log", u"C:\\", u"C:"}) {
    EXPECT_EQ(CreateFolder(path), 183u);
  }
  EXPECT_EQ(log_.Count("[INFO] CreateFolder : The Drive letter Given.hence it cannot be created "), 3);
  EXPECT_EQ(log_.Count("[ERROR] Error Code : 183 , Error Message : Cannot create a file when that file already exists.  "),
            3);
  EXPECT_EQ(CreateFolder(nullptr), 13u);
  EXPECT_TRUE(log_.Has("[ERROR] CreateFolder : The directory to create is NULL . "));
}

TEST_F(CreateFolderTest, DrivePathsMapBelowTheDrivesRoot) {
  EXPECT_EQ(CreateFolder(u"C:\\work\\logs\\x.log"), 0u);
  bool found = false;
  for (auto& entry : fs::recursive_directory_iterator(drives_.path()))
    if (entry.path().filename() == "logs" && entry.is_directory()) found = true;
  EXPECT_TRUE(found);
}

TEST(FileExistence, EmptyFilesDifferBetweenTheTwoTests) {
  qvtest::TempDir dir;
  qvtest::LogCapture log;
  std::string empty = (dir / "empty.txt").string();
  std::string full = (dir / "full.txt").string();
  qvtest::WriteFileBytes(empty, "");
  qvtest::WriteFileBytes(full, "data");
  EXPECT_EQ(IsFileExist(empty.c_str()), 0);
  EXPECT_EQ(CheckFileExists(Wide(empty).c_str()), 0);
  EXPECT_EQ(IsFileExist(full.c_str()), 1);
  EXPECT_EQ(CheckFileExists(Wide(full).c_str()), 0);
  std::string missing = (dir / "missing.txt").string();
  EXPECT_EQ(IsFileExist(missing.c_str()), 0);
  EXPECT_EQ(CheckFileExists(Wide(missing).c_str()), 2);
  EXPECT_EQ(CheckFileExists(Wide(dir.str() + "/*.txt").c_str()), 0);
  EXPECT_EQ(CheckFileExists(Wide(dir.str() + "/*.log").c_str()), 2);
  EXPECT_EQ(CheckFileExists(nullptr), 13);
  EXPECT_TRUE(log.Has("[DEBUG] IsFileExist : The required file (" + empty +
                      ") size is 0 bytes. Hence returning file not found."));
  EXPECT_TRUE(log.Has("[DEBUG] IsFileExist : The File " + full + " size is given by : 4"));
  EXPECT_TRUE(log.Has("[ERROR] CheckFileExists -> Invalid File Handle. 2 "));
}

TEST(FileExistence, FileSize64) {
  qvtest::TempDir dir;
  std::string path = (dir / "f.bin").string();
  qvtest::WriteFileBytes(path, std::string(12345, 'x'));
  uint64_t size = 99;
  EXPECT_EQ(GetFileSize64(path.c_str(), &size), 1);
  EXPECT_EQ(size, 12345u);
  EXPECT_EQ(GetFileSize64((dir / "none").string().c_str(), &size), 0);
  EXPECT_EQ(GetFileSize64(nullptr, &size), 0);
  EXPECT_EQ(GetFileSize64(path.c_str(), nullptr), 0);
}

TEST(AppendLine, CreatesFileAndFolderThenAppends) {
  qvtest::TempDir dir;
  qvtest::LogCapture log;
  std::string path = dir.str() + "\\new\\folder\\rows.csv";
  EXPECT_EQ(AppendLineToFile(path.c_str(), "first,100%"), 0u);
  EXPECT_TRUE(log.Has("[INFO] Message : The operation completed successfully.  "));
  EXPECT_EQ(AppendLineToFile(path.c_str(), "second %s %d"), 0u);
  EXPECT_EQ(qvtest::ReadFileBytes(dir / "new/folder/rows.csv"), "first,100%\r\nsecond %s %d\r\n");
}

TEST(AppendLine, EmptyExistingFileReportsFileExistsButStillAppends) {
  qvtest::TempDir dir;
  std::string path = (dir / "empty.csv").string();
  qvtest::WriteFileBytes(path, "");
  EXPECT_EQ(AppendLineToFile(path.c_str(), "row"), 80u);
  EXPECT_EQ(qvtest::ReadFileBytes(path), "row\r\n");
}

}  // namespace
