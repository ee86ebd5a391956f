#include "kernel32/file_info.h"

#include "kernel32/conversions.h"
#include "kernel32/errors.h"
#include "kernel32/files.h"

namespace qvplatform {

namespace {
constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;
}  // namespace

FILETIME ToFileTime(const struct timespec& time) {
  int64_t ticks = (static_cast<int64_t>(time.tv_sec) + kSecondsFrom1601To1970) * kTicksPerSecond +
                  time.tv_nsec / 100;
  if (ticks < 0) ticks = 0;
  FILETIME result{};
  result.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xFFFFFFFFu);
  result.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  return result;
}

DWORD AttributesOf(const struct stat& info) {
  if (S_ISLNK(info.st_mode)) return FILE_ATTRIBUTE_REPARSE_POINT;
  if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  if ((info.st_mode & 0222) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

std::optional<std::string> NarrowPathArgument(LPCWSTR path) {
  if (!path) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  auto narrow = Utf16ToUtf8(std::u16string_view(path, WideLength(path)));
  if (!narrow) SetLastError(ERROR_INVALID_NAME);
  return narrow;
}

}  // namespace qvplatform
