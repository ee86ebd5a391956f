// C runtime streams on a cookie: the cookie owns the descriptor and its share claim and translates
// line ends in text mode.
#include "crt/stdio.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "kernel32/conversions.h"
#include "kernel32/errors.h"
#include "kernel32/file_open.h"
#include "kernel32/paths.h"

namespace {

constexpr char kCtrlZ = 0x1A;
constexpr int kEnd = -1;
constexpr int kError = -2;

struct StreamCookie {
  qvplatform::OpenFile file;
  bool text = false;
  bool ctrlZSeen = false;           // a text read met Ctrl-Z: no more data until the next seek
  std::vector<char> raw;            // bytes read from the file but not yet translated
  size_t rawPos = 0;

  size_t Pending() const { return raw.size() - rawPos; }
  void Discard() {
    raw.clear();
    rawPos = 0;
  }
  // The next raw byte without taking it.
  int Peek() {
    if (rawPos == raw.size()) {
      raw.resize(4096);
      rawPos = 0;
      ssize_t n;
      do {
        n = read(file.fd, raw.data(), raw.size());
      } while (n < 0 && errno == EINTR);
      raw.resize(n > 0 ? static_cast<size_t>(n) : 0);
      if (n < 0) return kError;
      if (n == 0) return kEnd;
    }
    return static_cast<unsigned char>(raw[rawPos]);
  }
};

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

ssize_t ReadStream(void* cookie, char* buffer, size_t size) {
  auto& stream = *static_cast<StreamCookie*>(cookie);
  if (!stream.text) {
    ssize_t n;
    do {
      n = read(stream.file.fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
  }
  if (stream.ctrlZSeen) return 0;
  size_t out = 0;
  while (out < size) {
    int c = stream.Peek();
    if (c == kError) return out ? static_cast<ssize_t>(out) : -1;
    if (c == kEnd) break;
    if (c == kCtrlZ) {
      stream.ctrlZSeen = true;
      break;
    }
    ++stream.rawPos;
    if (c == '\r' && stream.Peek() == '\n') {
      ++stream.rawPos;
      c = '\n';
    }
    buffer[out++] = static_cast<char>(c);
  }
  return static_cast<ssize_t>(out);
}

ssize_t WriteStream(void* cookie, const char* buffer, size_t size) {
  auto& stream = *static_cast<StreamCookie*>(cookie);
  if (stream.Pending() != 0) {
    // Writing after reading: the file position is where the reader stands.
    if (lseek(stream.file.fd, -static_cast<off_t>(stream.Pending()), SEEK_CUR) < 0) return 0;
    stream.Discard();
  }
  if (!stream.text) return WriteAll(stream.file.fd, buffer, size) ? static_cast<ssize_t>(size) : 0;
  std::string translated;
  translated.reserve(size + size / 8 + 1);
  for (size_t i = 0; i < size; ++i) {
    if (buffer[i] == '\n') translated += '\r';
    translated += buffer[i];
  }
  return WriteAll(stream.file.fd, translated.data(), translated.size()) ? static_cast<ssize_t>(size) : 0;
}

int SeekStream(void* cookie, off64_t* position, int whence) {
  auto& stream = *static_cast<StreamCookie*>(cookie);
  off64_t target = *position;
  if (whence == SEEK_CUR) {
    off64_t current = lseek(stream.file.fd, 0, SEEK_CUR);
    if (current < 0) return -1;
    target += current - static_cast<off64_t>(stream.Pending());
    whence = SEEK_SET;
  }
  off64_t result = lseek(stream.file.fd, target, whence);
  if (result < 0) return -1;
  stream.Discard();
  stream.ctrlZSeen = false;
  *position = result;
  return 0;
}

int CloseStream(void* cookie) {
  delete static_cast<StreamCookie*>(cookie);
  return 0;
}

struct ModeSpec {
  char kind = 0;  // 'r', 'w' or 'a'
  bool plus = false;
  bool binary = false;
  bool exclusive = false;
};

bool ParseMode(const char* mode, ModeSpec& spec) {
  if (!mode || (*mode != 'r' && *mode != 'w' && *mode != 'a')) return false;
  spec.kind = *mode;
  bool typeGiven = false;
  for (const char* at = mode + 1; *at; ++at) {
    switch (*at) {
      case '+':
        if (spec.plus) return false;
        spec.plus = true;
        break;
      case 'b':
      case 't':
        if (typeGiven) return false;
        typeGiven = true;
        spec.binary = *at == 'b';
        break;
      case 'x':
        if (spec.kind != 'w') return false;
        spec.exclusive = true;
        break;
      // Commit, no-commit, caching and temporary hints change nothing here.
      case 'c':
      case 'n':
      case 'N':
      case 'S':
      case 'R':
      case 'T':
      case 'D': break;
      default: return false;
    }
  }
  return true;
}

int ErrnoFor(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_DISK_FULL: return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY: return ENOMEM;
    default: return EINVAL;
  }
}

// "a+" in text mode drops a Ctrl-Z that ends the file, so appended text is not hidden behind it.
void DropTrailingCtrlZ(const qvplatform::OpenFile& file) {
  if (file.info.st_size <= 0) return;
  char last = 0;
  if (pread(file.fd, &last, 1, file.info.st_size - 1) == 1 && last == kCtrlZ)
    (void)ftruncate(file.fd, file.info.st_size - 1);
}

}  // namespace

FILE* crt_fopen(const char* path, const char* mode) {
  ModeSpec spec;
  if (!path || !*path || !ParseMode(mode, spec)) {
    errno = EINVAL;
    return nullptr;
  }
  qvplatform::OpenRequest request;
  request.nativePath = qvplatform::ToNativePath(path);
  request.read = spec.kind == 'r' || spec.plus;
  request.write = spec.kind != 'r' || spec.plus;
  request.appendOnly = spec.kind == 'a';
  request.truncate = spec.kind == 'w';
  request.creation = spec.kind == 'r'   ? qvplatform::Creation::kOpenExisting
                     : spec.exclusive ? qvplatform::Creation::kCreateNew
                                      : qvplatform::Creation::kOpenOrCreate;
  request.share = {true, true, false};

  auto* cookie = new StreamCookie;
  cookie->text = !spec.binary;
  DWORD error = qvplatform::OpenNativeFile(request, cookie->file);
  if (error != ERROR_SUCCESS) {
    delete cookie;
    errno = ErrnoFor(error);
    return nullptr;
  }
  if (cookie->text && spec.kind == 'a' && spec.plus) DropTrailingCtrlZ(cookie->file);

  std::string cookieMode(1, spec.kind);
  if (spec.plus) cookieMode += '+';
  cookie_io_functions_t functions{ReadStream, WriteStream, SeekStream, CloseStream};
  FILE* stream = fopencookie(cookie, cookieMode.c_str(), functions);
  if (!stream) {
    int err = errno;
    delete cookie;
    errno = err;
    return nullptr;
  }
  // A text stream keeps no translated bytes in the FILE's own buffer (the cookie buffers raw bytes),
  // so ftell and fseek count file bytes exactly. Each fputs or fprintf is still one write.
  if (cookie->text) setvbuf(stream, nullptr, _IONBF, 0);
  return stream;
}

FILE* crt_wfopen(LPCWSTR path, LPCWSTR mode) {
  if (!path || !mode) {
    errno = EINVAL;
    return nullptr;
  }
  auto narrowPath = qvplatform::Utf16ToUtf8(std::u16string_view(path, qvplatform::WideLength(path)));
  auto narrowMode = qvplatform::Utf16ToUtf8(std::u16string_view(mode, qvplatform::WideLength(mode)));
  if (!narrowPath || !narrowMode) {
    errno = EINVAL;
    return nullptr;
  }
  return crt_fopen(narrowPath->c_str(), narrowMode->c_str());
}
