// The hive file behind the registry functions: one SQLite connection per process and hive, keys as
// rows identified by a number that is never reused, values as rows of their key.
//
// Every operation locks the store, runs inside a transaction where it writes, and retries when
// another process holds the database, so callers see either the result or a system error code.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "types.h"

namespace qvplatform::registry {

using KeyId = int64_t;
using Bytes = std::vector<uint8_t>;

struct ValueRecord {
  std::u16string name;
  DWORD type = 0;
  Bytes data;
};

struct KeyRecord {
  std::u16string name;
  int64_t lastWrite = 0;  // FILETIME ticks
};

struct KeyStats {
  DWORD subKeys = 0;
  DWORD values = 0;
  std::vector<std::u16string> subKeyNames;  // filled only when asked for
  std::vector<ValueRecord> valueRecords;    // filled only when asked for
  int64_t lastWrite = 0;
};

// Maps an SQLite result code to the system error code a registry caller gets. `sysErrno` is the
// errno behind a failed open, when known.
DWORD SqliteToWin32(int rc, int sysErrno);

class Store {
 public:
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Opens (creating and seeding when needed) the hive at `path`.
  static DWORD Open(const std::string& path, std::shared_ptr<Store>* out);

  const std::string& path() const { return path_; }
  pid_t pid() const { return pid_; }

  // The key row of a predefined root (0x80000000 ...), or ERROR_INVALID_HANDLE.
  DWORD Root(uintptr_t predefined, KeyId* id);

  DWORD OpenKey(KeyId base, const std::vector<std::u16string>& path, KeyId* out);
  DWORD CreateKey(KeyId base, const std::vector<std::u16string>& path, KeyId* out, bool* created);
  // Deletes `key` when it has no subkeys; ERROR_ACCESS_DENIED otherwise and for root keys.
  DWORD DeleteKey(KeyId key);
  // Deletes everything below `key`, and the key itself when `self` is set.
  DWORD DeleteTree(KeyId key, bool self);

  DWORD QueryValue(KeyId key, std::u16string_view name, ValueRecord* out);
  DWORD SetValue(KeyId key, std::u16string_view name, DWORD type, const uint8_t* data, size_t size);
  DWORD DeleteValue(KeyId key, std::u16string_view name);
  DWORD EnumKey(KeyId key, DWORD index, KeyRecord* out);
  DWORD EnumValue(KeyId key, DWORD index, ValueRecord* out);
  // Counts of subkeys and values; with `details`, every subkey name and value as well.
  DWORD Stats(KeyId key, bool details, KeyStats* out);

  // An explicit transaction of the calling thread (see qvplatform::RegistryTransaction).
  DWORD BeginExplicit();
  DWORD CommitExplicit();
  void RollbackExplicit();

 private:
  class Statement;
  // kNone: the body manages transactions itself (or needs none).
  enum class Txn { kNone, kRead, kWrite };

  Store(std::string path, sqlite3* db);
  DWORD Initialize();
  sqlite3_stmt* Prepare(const char* sql, int* rc);
  // Runs SQL text (several statements) once.
  int Exec(const char* sql);
  // Runs a one-statement control command (BEGIN, COMMIT ...) through the statement cache.
  int Control(const char* sql);
  // Runs `body` (which returns an SQLite result code or a system code via `*result`) under the
  // store's lock, in a write transaction when asked, retrying while the database is busy.
  template <class Body>
  DWORD Run(Txn kind, Body&& body);
  // Run, failing with ERROR_KEY_DELETED when `key` no longer exists.
  template <class Body>
  DWORD RunOnKey(Txn kind, KeyId key, Body&& body);

  int KeyExists(KeyId key, bool* exists);
  int FindChild(KeyId parent, std::u16string_view name, KeyId* child);
  int TouchKey(KeyId key);
  int DeleteBelow(KeyId key);
  int SeedNewHive();

  std::string path_;
  sqlite3* db_;
  pid_t pid_;
  std::recursive_mutex mutex_;
  int txnDepth_ = 0;  // transactions and savepoints open on this connection
  std::unordered_map<uintptr_t, KeyId> roots_;
  std::unordered_map<const char*, sqlite3_stmt*> statements_;
};

}  // namespace qvplatform::registry
