#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "logging/agent_logger.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kLiveName = "qvprereqhandler.log";
constexpr int32_t kThreshold = 2000000;

std::string Backup(int number) { return "qvprereqhandler" + std::to_string(number) + ".log"; }

class LogRotation : public ::testing::Test {
 protected:
  fs::path Dir() const { return dir_.path(); }
  std::string Read(const std::string& name) const { return qvtest::ReadFileBytes(Dir() / name); }
  bool Exists(const std::string& name) const { return fs::exists(Dir() / name); }
  int Rotate() { return RotateLoggerForEverRunningProcess(dir_.str().c_str(), kLiveName, 5, kThreshold); }

  qvtest::TempDir dir_;
  qvtest::LogCapture log_{4};
};

TEST_F(LogRotation, SizeThreshold) {
  struct Case {
    std::optional<size_t> size;  // none: the file does not exist
    int reached;
  };
  const std::vector<Case> cases = {
      {0, 0}, {1999999, 0}, {2000000, 1}, {2000001, 1}, {std::nullopt, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size ? std::to_string(*c.size) : "missing");
    fs::remove(Dir() / kLiveName);
    if (c.size) qvtest::WriteFileBytes(Dir() / kLiveName, std::string(*c.size, 'x'));
    std::string path = (Dir() / kLiveName).string();
    EXPECT_EQ(CheckLogSizeReached(path.c_str(), kThreshold), c.reached);
    EXPECT_TRUE(log_.Has("[INFO] CheckLogSizeReached : The log file size of " + path + " is given by " +
                         std::to_string(c.size.value_or(0)) + " "));
  }
  EXPECT_EQ(log_.Count("[ERROR] CheckLogSizeReached : Unable to get the file handle "), 1);
  EXPECT_EQ(log_.Count("[INFO] CheckLogSizeReached : The size is greater than the given size ........."), 2);
}

TEST_F(LogRotation, BackupsShiftAndTheLiveFileIsTruncated) {
  struct Case {
    std::string name;
    size_t liveSize;
    std::vector<int> backups;           // present before, each holding "B<n>"
    std::vector<std::string> foreign;   // other files whose names begin with the stem
    std::map<int, std::string> after;   // backup number -> content afterwards ("live" = the old live file)
    int count;                          // entries matching the stem
  };
  const std::vector<Case> cases = {
      {"below the threshold", 1999999, {}, {}, {}, -2},
      {"first rotation", 2000000, {}, {}, {{1, "live"}}, 1},
      {"three backups", 2000000, {1, 2, 3}, {}, {{1, "live"}, {2, "B1"}, {3, "B2"}, {4, "B3"}}, 4},
      {"four backups", 2000000, {1, 2, 3, 4}, {}, {{1, "live"}, {2, "B1"}, {3, "B2"}, {4, "B3"}}, 5},
      {"foreign file below the count", 2000000, {1}, {"qvprereqhandler.old.txt"}, {{1, "live"}, {2, "B1"}}, 3},
      {"foreign file reaching the count", 2000000, {1, 2, 3}, {"qvprereqhandler-copy.log"},
       {{1, "live"}, {2, "B1"}, {3, "B2"}, {4, "B3"}}, 5},
      {"foreign file beyond the count", 2000000, {1, 2, 3, 4}, {"qvprereqhandler.bak"},
       {{1, "live"}, {2, "B1"}, {3, "B2"}, {4, "B3"}}, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(Dir());
    fs::create_directories(Dir());
    qvtest::LogCapture log(4);
    const std::string live(c.liveSize, 'L');
    qvtest::WriteFileBytes(Dir() / kLiveName, live);
    for (int b : c.backups) qvtest::WriteFileBytes(Dir() / Backup(b), "B" + std::to_string(b));
    for (const auto& f : c.foreign) qvtest::WriteFileBytes(Dir() / f, "foreign");

    EXPECT_EQ(Rotate(), 0);

    const bool rotated = !c.after.empty();
    EXPECT_EQ(Read(kLiveName), rotated ? "" : live);
    for (int b = 1; b <= 5; ++b) {
      auto expected = c.after.find(b);
      if (expected == c.after.end()) {
        EXPECT_FALSE(Exists(Backup(b))) << Backup(b);
      } else {
        EXPECT_EQ(Read(Backup(b)), expected->second == "live" ? live : expected->second) << Backup(b);
      }
    }
    for (const auto& f : c.foreign) EXPECT_EQ(Read(f), "foreign");
    if (c.count >= 0) {
      EXPECT_TRUE(log.Has("[INFO] RotateSpecificLogs : The return Value from FindNumberOfRepeatedFileNames method "
                          "is : " +
                          std::to_string(c.count) + " "));
    } else {
      EXPECT_EQ(log.Raw().find("RotateSpecificLogs"), std::string::npos);
    }
  }
}

TEST_F(LogRotation, MissingBackupsOnlyLogTheirFailedSteps) {
  // Live file, backup 1 and one foreign file: the count 3 asks for a shift of backup 2, which is not there.
  qvtest::WriteFileBytes(Dir() / kLiveName, std::string(kThreshold, 'L'));
  qvtest::WriteFileBytes(Dir() / Backup(1), "B1");
  qvtest::WriteFileBytes(Dir() / "qvprereqhandler.txt", "foreign");
  ASSERT_EQ(Rotate(), 0);
  const std::string base = dir_.str() + "\\";
  EXPECT_TRUE(log_.Has("[INFO] RotateSpecificLogs : CopyFile failed to move from " + base + "\\" + Backup(2) +
                       " to  " + base + "\\" + Backup(3) + " and the error code is 2 "));
  EXPECT_TRUE(log_.Has("[INFO] RotateSpecificLogs : File copied from " + base + "\\" + Backup(1) + " to  " + base +
                       "\\" + Backup(2) + " . "));
  EXPECT_TRUE(log_.Has("[INFO] RotateSpecificLogs : The file " + base + "\\" + Backup(1) +
                       " was successfully deleted..:"));
  EXPECT_EQ(Read(Backup(2)), "B1");
}

TEST(LogFileNames, StemAndBackupNames) {
  struct Case {
    const char* fileName;
    int number;
    std::string stem;
    std::string backup;
  };
  const std::vector<Case> cases = {
      {"qvprereqhandler.log", 1, "qvprereqhandler", "D:\\logs\\\\qvprereqhandler1.log"},
      {"agent.log.old", 4, "agent", "D:\\logs\\\\agent4.log"},
      {"noextension", 2, "", "D:\\logs\\\\2.log"},
      {"a.log.log", 12, "a", "D:\\logs\\\\a12.log"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fileName);
    EXPECT_EQ(GetLogFileStem(c.fileName), c.stem);
    EXPECT_EQ(GetBackupLogFileName("D:\\logs\\", c.fileName, c.number, ".log"), c.backup);
  }
}

TEST_F(LogRotation, CountsEntriesBeginningWithTheStem) {
  for (const char* name : {"qv.log", "qv1.log", "qvx", "other.log", "aqv.log"}) {
    qvtest::WriteFileBytes(Dir() / name, "x");
  }
  EXPECT_EQ(FindNoOfRepeatedFileNames(dir_.str().c_str(), "qv"), 3);
  EXPECT_EQ(FindNoOfRepeatedFileNames(dir_.str().c_str(), "zz"), -1);
  EXPECT_TRUE(log_.Has("[ERROR] FindNumberOfRepeatedFileNames : Unable to find the files/folder."));
  EXPECT_EQ(FindNoOfRepeatedFileNames((dir_.str() + "/missing").c_str(), "qv"), -1);
}

}  // namespace
