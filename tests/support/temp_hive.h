// A private registry hive for one test: QVAGENT_REGISTRY points into a fresh temporary folder
// (the hive file itself is created, and seeded, by the first registry call).
#pragma once

#include <filesystem>

#include "support/temp_dir.h"

namespace qvtest {

class TempHive {
 public:
  TempHive();
  const std::filesystem::path& file() const { return file_; }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  std::filesystem::path file_;
  ScopedEnv env_;
};

}  // namespace qvtest
