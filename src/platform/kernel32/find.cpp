// FindFirstFile searches: the matching entries of one folder, taken when the search starts.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kernel32/conversions.h"
#include "kernel32/errors.h"
#include "kernel32/file_info.h"
#include "kernel32/files.h"
#include "kernel32/paths.h"
#include "kernel32/wildcard.h"

namespace {

struct FoundEntry {
  std::string name;
  struct stat info;
};

class FindObject : public qvplatform::KernelObject {
 public:
  explicit FindObject(std::vector<FoundEntry> entries) : entries_(std::move(entries)) {}

  // Fills the next entry that `fill` accepts; false (ERROR_NO_MORE_FILES) when none is left.
  template <class Fill>
  bool Next(Fill fill) {
    while (next_ < entries_.size()) {
      if (fill(entries_[next_++])) return true;
    }
    SetLastError(ERROR_NO_MORE_FILES);
    return false;
  }

 private:
  std::vector<FoundEntry> entries_;
  size_t next_ = 0;
};

int DotRank(const std::string& name) { return name == "." ? 0 : name == ".." ? 1 : 2; }

std::string JoinNative(const std::string& folder, const std::string& name) {
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The entries that `fileName` names, or the system error code in `error`.
std::vector<FoundEntry> Collect(const char* fileName, DWORD& error) {
  error = ERROR_SUCCESS;
  if (!fileName || !*fileName) {
    error = ERROR_PATH_NOT_FOUND;
    return {};
  }
  std::string text(fileName);
  std::replace(text.begin(), text.end(), '\\', '/');
  size_t slash = text.rfind('/');
  std::string folderPart = slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
  std::string pattern = slash == std::string::npos ? text : text.substr(slash + 1);
  if (folderPart.size() == 2 && folderPart[1] == ':') folderPart += '/';
  if (pattern.size() >= 2 && pattern[1] == ':' && folderPart.empty()) {
    // "C:*" searches the drive's root folder.
    folderPart = pattern.substr(0, 2) + "/";
    pattern.erase(0, 2);
  }
  if (qvplatform::HasWildcards(folderPart)) {
    error = ERROR_INVALID_NAME;
    return {};
  }
  if (pattern.empty()) {
    error = ERROR_FILE_NOT_FOUND;
    return {};
  }
  std::string folder = folderPart.empty() ? "." : qvplatform::ToNativePath(folderPart.c_str());

  std::vector<FoundEntry> entries;
  if (!qvplatform::HasWildcards(pattern)) {
    FoundEntry entry{pattern, {}};
    std::string native = JoinNative(folder, pattern);
    if (lstat(native.c_str(), &entry.info) != 0) {
      error = qvplatform::PathErrorFromErrno(errno, native);
      return {};
    }
    entries.push_back(std::move(entry));
    return entries;
  }

  struct CloseDir {
    void operator()(DIR* d) const { closedir(d); }
  };
  std::unique_ptr<DIR, CloseDir> dir(opendir(folder.c_str()));
  if (!dir) {
    int err = errno;
    error = err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND : qvplatform::ErrnoToWin32(err);
    return {};
  }
  while (const dirent* item = readdir(dir.get())) {
    std::string name = item->d_name;
    if (name.size() >= MAX_PATH || !qvplatform::MatchesFilePattern(pattern, name)) continue;
    FoundEntry entry{name, {}};
    // An entry removed since the folder was read is left out.
    if (lstat(JoinNative(folder, name).c_str(), &entry.info) != 0) continue;
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(), [](const FoundEntry& a, const FoundEntry& b) {
    int rankA = DotRank(a.name), rankB = DotRank(b.name);
    return rankA != rankB ? rankA < rankB : a.name < b.name;
  });
  if (entries.empty()) error = ERROR_FILE_NOT_FOUND;
  return entries;
}

template <class FindData>
void FillCommon(const FoundEntry& entry, FindData& data) {
  std::memset(&data, 0, sizeof(data));
  data.dwFileAttributes = qvplatform::AttributesOf(entry.info);
  data.ftCreationTime = qvplatform::ToFileTime(entry.info.st_ctim);
  data.ftLastAccessTime = qvplatform::ToFileTime(entry.info.st_atim);
  data.ftLastWriteTime = qvplatform::ToFileTime(entry.info.st_mtim);
  uint64_t size = S_ISREG(entry.info.st_mode) ? static_cast<uint64_t>(entry.info.st_size) : 0;
  data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
}

bool FillNarrow(const FoundEntry& entry, WIN32_FIND_DATAA& data) {
  FillCommon(entry, data);
  std::memcpy(data.cFileName, entry.name.c_str(), entry.name.size() + 1);
  return true;
}

// Names that are not valid UTF-8, or too long for the record, cannot be reported in UTF-16.
bool FillWide(const FoundEntry& entry, WIN32_FIND_DATAW& data) {
  auto wide = qvplatform::Utf8ToUtf16(entry.name);
  if (!wide || wide->size() >= MAX_PATH) return false;
  FillCommon(entry, data);
  std::copy(wide->begin(), wide->end(), data.cFileName);
  data.cFileName[wide->size()] = u'\0';
  return true;
}

template <class FindData, class Fill>
HANDLE FindFirst(const char* fileName, FindData* findData, Fill fill) {
  if (!findData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  DWORD error = ERROR_SUCCESS;
  auto search = std::make_shared<FindObject>(Collect(fileName, error));
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  if (!search->Next([&](const FoundEntry& entry) { return fill(entry, *findData); })) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return qvplatform::InsertHandle(std::move(search));
}

template <class FindData, class Fill>
BOOL FindNext(HANDLE findFile, FindData* findData, Fill fill) {
  auto search = qvplatform::LookupHandle<FindObject>(findFile);
  if (!search) return FALSE;
  if (!findData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return search->Next([&](const FoundEntry& entry) { return fill(entry, *findData); }) ? TRUE : FALSE;
}

}  // namespace

HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData) {
  return FindFirst(fileName, findData, FillNarrow);
}

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) {
  auto narrow = qvplatform::NarrowPathArgument(fileName);
  if (!narrow) return INVALID_HANDLE_VALUE;
  return FindFirst(narrow->c_str(), findData, FillWide);
}

BOOL FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findData) {
  return FindNext(findFile, findData, FillNarrow);
}

BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findData) {
  return FindNext(findFile, findData, FillWide);
}

BOOL FindClose(HANDLE findFile) {
  if (!qvplatform::LookupHandle<FindObject>(findFile)) return FALSE;
  return CloseHandle(findFile);
}
