#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "runner/process_runner.h"
#include "support/log_capture.h"
#include "support/standin.h"

namespace {

namespace fs = std::filesystem;

std::string CurrentDirectory() { return fs::current_path().string(); }

class ExecuteTest : public ::testing::Test {
 protected:
  qvtest::TempDir dir_;
  qvtest::LogCapture log_;
  std::string Folder() const { return (dir_ / "Pack").string(); }
};

TEST_F(ExecuteTest, InstallerCodesAreFoldedAndRemarksDescribeTheRawCode) {
  struct Case {
    uint32_t exitCode;
    DWORD folded;
    std::string remark;
  };
  const std::vector<Case> cases = {
      {0, 0, "The operation completed successfully. "},
      {3010, 0, "The requested operation is successful. Changes will not be effective until the system is rebooted. "},
      {1641, 0, "The requested operation completed successfully. The system will be restarted so the changes can take effect. "},
      {1508, 0, "The requested operation is successful. Changes will not be effective until the browser is rebooted."},
      {1603, 1603, "Fatal error during installation. "},
      {17025, 17025, "OfficeUpdateError: Patch already installed."},
      {4242424, 4242424, "Unknown Error. Code : 4242424"},
      {0xFFFFFFFF, 0xFFFFFFFF, "Unknown Error. Code : -1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.exitCode);
    qvtest::WriteStandIn(Folder(), "setup.exe", c.exitCode);
    std::string remark;
    EXPECT_EQ(execute(Folder().c_str(), "setup.exe /q", &remark, 5, false), c.exitCode);
    EXPECT_EQ(remark, c.remark);
    std::string folded;
    EXPECT_EQ(ExecuteInstaller(Folder().c_str(), "setup.exe /q", &folded, 5, false), c.folded);
    EXPECT_EQ(folded, c.remark);
    EXPECT_TRUE(log_.Has("[INFO] execute : Exit code for the application : " +
                         std::to_string(static_cast<int>(c.exitCode)) + " "));
  }
}

TEST_F(ExecuteTest, LogsTheRunAndRestoresTheCurrentDirectory) {
  qvtest::WriteStandIn(Folder(), "setup.exe", 3010);
  std::string before = CurrentDirectory();
  std::string remark;
  execute(Folder().c_str(), "setup.exe /q /ACTION=Patch", &remark, 1000, false);
  EXPECT_EQ(CurrentDirectory(), before);
  EXPECT_EQ(qvtest::ReadFileBytes(dir_ / "Pack/calls.txt"), "/q /ACTION=Patch\n");
  for (const std::string& line : std::vector<std::string>{
           "[DEBUG] @@@@@@@@ Inside execute Method @@@@@@@@ ",
           "[INFO] execute : Current Working Directory : " + before + " ",
           "[INFO] execute : Executing Application Source : setup.exe /q /ACTION=Patch ",
           "[INFO] execute : Set Working Directory : " + Folder() + " ",
           "[INFO] execute : Exit code for the application : 3010 ",
           "[INFO] execute : Remarks from the CreateProcess is " + remark + " for the executable setup.exe /q /ACTION=Patch ",
           "[DEBUG] @@@@@@@@ End Of execute Method @@@@@@@@ ",
       }) {
    EXPECT_TRUE(log_.Has(line)) << line << "\n" << log_.Raw();
  }
}

TEST_F(ExecuteTest, NoWaitWithTimeLimitZero) {
  qvtest::WriteStandIn(Folder(), "setup.exe", 1603, 0.3);
  std::string remark;
  EXPECT_EQ(execute(Folder().c_str(), "setup.exe", &remark, 0, false), 0u);
  EXPECT_EQ(remark, "The operation completed successfully. ");
  EXPECT_TRUE(log_.Has("[INFO] Message : The operation completed successfully.  "));
}

TEST_F(ExecuteTest, ProgramNotFound) {
  fs::create_directories(Folder());
  std::string before = CurrentDirectory();
  std::string remark;
  EXPECT_EQ(execute(Folder().c_str(), "setup.exe /q", &remark, 5, false), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(remark, "The system cannot find the file specified. ");
  EXPECT_EQ(CurrentDirectory(), before);
  EXPECT_TRUE(log_.Has("[INFO] execute : Failed to Create the Process for the application "));
}

TEST_F(ExecuteTest, MissingWorkingDirectory) {
  std::string before = CurrentDirectory();
  std::string remark;
  DWORD result = execute((dir_ / "absent").string().c_str(), "setup.exe", &remark, 5, false);
  EXPECT_NE(result, 0u);
  EXPECT_EQ(CurrentDirectory(), before);
  EXPECT_TRUE(log_.Has("[ERROR] execute : Failed to set the WorkingDirectory " + (dir_ / "absent").string() + " "));
  // The text is logged twice: once by the failure itself and once for the remark.
  EXPECT_EQ(log_.Count("[ERROR] Error Code : " + std::to_string(result) + " , Error Message : " + remark + " "), 2);
}

TEST_F(ExecuteTest, WithoutCommandLineNothingStarts) {
  std::string remark;
  EXPECT_EQ(execute(Folder().c_str(), nullptr, &remark, 5, false), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(remark, "The parameter is incorrect. ");
}

class DeleteDirectoryTest : public ::testing::Test {
 protected:
  qvtest::TempDir dir_;
  qvtest::LogCapture log_;
};

TEST_F(DeleteDirectoryTest, RemovesATreeWithFilesAndFolders) {
  fs::create_directories(dir_ / "tree/a/b/c");
  qvtest::WriteFileBytes(dir_ / "tree/top.txt", "x");
  qvtest::WriteFileBytes(dir_ / "tree/a/b/c/deep.txt", "x");
  qvtest::WriteFileBytes(dir_ / "tree/a/.hidden", "x");
  EXPECT_EQ(DeleteDirectoryRecursively((dir_ / "tree").string().c_str()), 1);
  EXPECT_FALSE(fs::exists(dir_ / "tree"));
}

TEST_F(DeleteDirectoryTest, BackslashPathsWork) {
  fs::create_directories(dir_ / "w/Pack/sub");
  qvtest::WriteFileBytes(dir_ / "w/Pack/sub/f", "x");
  EXPECT_EQ(DeleteDirectoryRecursively((dir_.str() + "/w\\Pack").c_str()), 1);
  EXPECT_FALSE(fs::exists(dir_ / "w/Pack"));
}

TEST_F(DeleteDirectoryTest, MissingFolderReturnsZeroSilently) {
  EXPECT_EQ(DeleteDirectoryRecursively((dir_ / "absent").string().c_str()), 0);
  EXPECT_TRUE(log_.Messages().empty()) << log_.Raw();
}

TEST_F(DeleteDirectoryTest, ReadOnlyFileStaysWithItsFolder) {
  fs::create_directories(dir_ / "tree/sub");
  qvtest::WriteFileBytes(dir_ / "tree/sub/locked.txt", "x");
  qvtest::WriteFileBytes(dir_ / "tree/other.txt", "x");
  chmod((dir_ / "tree/sub/locked.txt").c_str(), 0444);
  EXPECT_EQ(DeleteDirectoryRecursively((dir_ / "tree").string().c_str()), 0);
  EXPECT_TRUE(fs::exists(dir_ / "tree/sub/locked.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "tree/other.txt"));
  EXPECT_TRUE(log_.Has("[ERROR] DeleteDirectoryRecursively : Couldn't delete folder " + (dir_ / "tree").string() +
                       "\\sub due to 145"))
      << log_.Raw();
  EXPECT_TRUE(log_.Has("[ERROR] DeleteDirectoryRecursively : Couldn't delete folder " + (dir_ / "tree").string() +
                       " due to 145"));
}

TEST_F(DeleteDirectoryTest, OverlongEntryPathsAreNeverTruncated) {
  // The entry path would exceed 259 characters; the entry must stay and nothing similar be removed.
  std::string base = (dir_ / "t").string();
  std::string name(std::max<int>(10, 259 - static_cast<int>(base.size())), 'n');
  fs::create_directories(base);
  qvtest::WriteFileBytes(fs::path(base) / name, "keep");
  qvtest::WriteFileBytes(fs::path(base) / name.substr(0, 259 - base.size() - 1), "truncated twin");
  EXPECT_EQ(DeleteDirectoryRecursively(base.c_str()), 0);
  EXPECT_TRUE(fs::exists(fs::path(base) / name));
}

}  // namespace
