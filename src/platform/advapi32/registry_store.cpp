#include "advapi32/registry_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <thread>

#include "advapi32/registry.h"
#include "advapi32/registry_data.h"
#include "advapi32/registry_seed.h"
#include "kernel32/conversions.h"
#include "kernel32/errors.h"

namespace qvplatform::registry {

namespace {

// How long a call waits for other processes to let go of the hive before it gives up with
// ERROR_BUSY (only a process that keeps a transaction open this long can cause it).
constexpr auto kBusyLimit = std::chrono::seconds(60);
constexpr int kBusyTimeoutMs = 2000;

struct RootName {
  uintptr_t predefined;
  const char* name;
};
constexpr RootName kRoots[] = {
    {0x80000000u, "HKEY_CLASSES_ROOT"}, {0x80000001u, "HKEY_CURRENT_USER"},
    {0x80000002u, "HKEY_LOCAL_MACHINE"}, {0x80000003u, "HKEY_USERS"},
    {0x80000005u, "HKEY_CURRENT_CONFIG"},
};

bool IsBusy(int rc) {
  int primary = rc & 0xFF;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

int Done(int rc) { return (rc == SQLITE_DONE || rc == SQLITE_ROW) ? SQLITE_OK : rc; }

// Ends a transaction body with a registry outcome (the statements themselves succeeded).
int Outcome(DWORD& result, DWORD code) {
  result = code;
  return SQLITE_OK;
}

int64_t NowFileTime() {
  using namespace std::chrono;
  // 100-nanosecond ticks since 1601-01-01.
  constexpr int64_t kEpochDelta = 116444736000000000LL;
  return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100 + kEpochDelta;
}

std::string Utf8(std::u16string_view text) { return Utf16ToUtf8Lossy(text); }

// Creates the hive's folder (0755) and the file itself (0600, never through a planted link).
DWORD PrepareFile(const std::string& path) {
  std::filesystem::path file(path);
  if (file.has_parent_path()) {
    std::error_code ec;
    std::filesystem::path parent = file.parent_path();
    if (!std::filesystem::is_directory(parent, ec)) {
      std::filesystem::create_directories(parent, ec);
      if (ec) return ErrnoToWin32(ec.value());
      chmod(parent.c_str(), 0755);
    }
  }
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) {
    close(fd);
  } else if (errno != EEXIST) {
    return ErrnoToWin32(errno);
  }
  return ERROR_SUCCESS;
}

}  // namespace

DWORD SqliteToWin32(int rc, int sysErrno) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return ERROR_SUCCESS;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return ERROR_BUSY;
    case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
    case SQLITE_CANTOPEN:
      if (sysErrno == EACCES || sysErrno == EPERM || sysErrno == EROFS) return ERROR_ACCESS_DENIED;
      return ERROR_CANTOPEN;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
    case SQLITE_SCHEMA: return ERROR_REGISTRY_CORRUPT;
    case SQLITE_FULL: return ERROR_DISK_FULL;
    case SQLITE_TOOBIG: return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_IOERR:
      if (sysErrno == ENOSPC || sysErrno == EDQUOT) return ERROR_DISK_FULL;
      if (sysErrno == EACCES || sysErrno == EPERM || sysErrno == EROFS) return ERROR_ACCESS_DENIED;
      return ERROR_REGISTRY_IO_FAILED;
    default: return ERROR_REGISTRY_IO_FAILED;
  }
}

// A cached prepared statement, reset and unbound when the scope ends.
class Store::Statement {
 public:
  Statement(Store& store, const char* sql) : stmt_(store.Prepare(sql, &rc_)) {}
  ~Statement() {
    if (stmt_) {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int64_t value) {
    if (rc_ == SQLITE_OK) rc_ = sqlite3_bind_int64(stmt_, index, value);
    return *this;
  }
  Statement& Bind(int index, const std::string& text) {
    if (rc_ == SQLITE_OK)
      rc_ = sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& BindBlob(int index, const uint8_t* data, size_t size) {
    static const uint8_t kEmpty = 0;
    if (rc_ == SQLITE_OK)
      rc_ = sqlite3_bind_blob64(stmt_, index, size ? data : &kEmpty, size, SQLITE_TRANSIENT);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error.
  int Step() { return rc_ == SQLITE_OK ? sqlite3_step(stmt_) : rc_; }
  // Runs a statement that returns no rows: SQLITE_OK or an error.
  int Run() { return Done(Step()); }

  bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  std::u16string Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return Utf8ToUtf16Lossy(std::string_view(text ? text : "", sqlite3_column_bytes(stmt_, column)));
  }
  // Columns 0-2 as name, type and data.
  ValueRecord Value() const { return {Text(0), static_cast<DWORD>(Int(1)), Blob(2)}; }
  Bytes Blob(int column) const {
    const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
    int size = sqlite3_column_bytes(stmt_, column);
    return data ? Bytes(data, data + size) : Bytes();
  }

 private:
  int rc_ = SQLITE_OK;
  sqlite3_stmt* stmt_;
};

Store::Store(std::string path, sqlite3* db) : path_(std::move(path)), db_(db), pid_(getpid()) {}

Store::~Store() {
  // A forked child must not close (and so checkpoint or unlock) its parent's connection.
  if (getpid() != pid_) return;
  for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
  sqlite3_close_v2(db_);
}

DWORD Store::Open(const std::string& path, std::shared_ptr<Store>* out) {
  if (path.empty()) return ERROR_PATH_NOT_FOUND;
  if (DWORD prepared = PrepareFile(path); prepared != ERROR_SUCCESS) return prepared;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    DWORD code = SqliteToWin32(rc, db ? sqlite3_system_errno(db) : 0);
    sqlite3_close_v2(db);
    return code;
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  std::shared_ptr<Store> store(new Store(path, db));
  if (DWORD code = store->Initialize(); code != ERROR_SUCCESS) return code;
  *out = std::move(store);
  return ERROR_SUCCESS;
}

sqlite3_stmt* Store::Prepare(const char* sql, int* rc) {
  auto it = statements_.find(sql);
  if (it != statements_.end()) {
    *rc = SQLITE_OK;
    return it->second;
  }
  sqlite3_stmt* stmt = nullptr;
  *rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (*rc != SQLITE_OK) return nullptr;
  statements_.emplace(sql, stmt);
  return stmt;
}

int Store::Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

int Store::Control(const char* sql) {
  Statement statement(*this, sql);
  return statement.Run();
}

template <class Body>
DWORD Store::Run(Txn kind, Body&& body) {
  std::lock_guard lock(mutex_);
  const auto deadline = std::chrono::steady_clock::now() + kBusyLimit;
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    // Inside a transaction already (an explicit one, or a write calling another), a write becomes
    // a savepoint, and a busy database cannot be waited out here: the outer level sees the code.
    const bool nested = txnDepth_ > 0;
    DWORD result = ERROR_SUCCESS;
    int rc = SQLITE_OK;
    if (kind == Txn::kNone || (nested && kind == Txn::kRead)) {
      rc = body(result);
    } else {
      // Reads, too, run in one transaction: one snapshot, and one lock of the shared index.
      rc = Control(nested ? "SAVEPOINT qv_write" : kind == Txn::kWrite ? "BEGIN IMMEDIATE" : "BEGIN");
      if (rc == SQLITE_OK) {
        ++txnDepth_;
        rc = body(result);
        --txnDepth_;
        const bool keep = rc == SQLITE_OK && (result == ERROR_SUCCESS || kind == Txn::kRead);
        if (keep) rc = Control(nested ? "RELEASE qv_write" : "COMMIT");
        if (!keep || rc != SQLITE_OK) {
          if (nested) {
            Control("ROLLBACK TO qv_write");
            Control("RELEASE qv_write");
          } else if (!sqlite3_get_autocommit(db_)) {
            Control("ROLLBACK");
          }
        }
      }
    }
    if (IsBusy(rc) && !nested && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::milliseconds(50));
      continue;
    }
    if (rc != SQLITE_OK) return SqliteToWin32(rc, sqlite3_system_errno(db_));
    return result;
  }
}

template <class Body>
DWORD Store::RunOnKey(Txn kind, KeyId key, Body&& body) {
  return Run(kind, [&](DWORD& result) {
    bool exists = false;
    if (int rc = KeyExists(key, &exists); rc != SQLITE_OK) return rc;
    if (!exists) return Outcome(result, ERROR_KEY_DELETED);
    return body(result);
  });
}

DWORD Store::Initialize() {
  // Switching to WAL needs a moment of exclusive access; wait for it like any other write.
  DWORD code = Run(Txn::kNone, [&](DWORD&) {
    Statement wal(*this, "PRAGMA journal_mode=WAL");
    return wal.Run();
  });
  if (code != ERROR_SUCCESS) return code;
  Exec("PRAGMA synchronous=NORMAL");

  bool seeded = false;
  code = Run(Txn::kRead, [&](DWORD&) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, "SELECT value FROM hive WHERE name='seeded'", -1, &stmt, nullptr);
    if (rc == SQLITE_ERROR) return SQLITE_OK;  // no tables yet: a new hive
    if (rc != SQLITE_OK) return rc;
    rc = sqlite3_step(stmt);
    seeded = rc == SQLITE_ROW;
    sqlite3_finalize(stmt);
    return Done(rc);
  });
  if (code != ERROR_SUCCESS || seeded) return code;

  return Run(Txn::kWrite, [&](DWORD&) {
    int rc = Exec(
        "CREATE TABLE IF NOT EXISTS hive(name TEXT PRIMARY KEY, value TEXT);"
        "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,"
        " name TEXT NOT NULL, fold TEXT NOT NULL, modified INTEGER NOT NULL DEFAULT 0);"
        "CREATE UNIQUE INDEX IF NOT EXISTS keys_by_parent ON keys(parent, fold);"
        "CREATE TABLE IF NOT EXISTS vals(seq INTEGER PRIMARY KEY, key INTEGER NOT NULL,"
        " name TEXT NOT NULL, fold TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL);"
        "CREATE UNIQUE INDEX IF NOT EXISTS vals_by_key ON vals(key, fold);");
    if (rc != SQLITE_OK) return rc;
    // Another process may have seeded the hive since the check above.
    Statement check(*this, "SELECT 1 FROM hive WHERE name='seeded'");
    rc = check.Step();
    if (rc == SQLITE_ROW) return SQLITE_OK;
    if (rc != SQLITE_DONE) return rc;
    return SeedNewHive();
  });
}

int Store::SeedNewHive() {
  int64_t now = NowFileTime();
  KeyId machine = 0;
  for (const auto& root : kRoots) {
    Statement insert(*this, "INSERT INTO keys(parent, name, fold, modified) VALUES(0, ?1, ?1, ?2)");
    if (int rc = insert.Bind(1, std::string(root.name)).Bind(2, now).Run(); rc != SQLITE_OK) return rc;
    if (root.predefined == 0x80000002u) machine = sqlite3_last_insert_rowid(db_);
  }
  for (const auto& seed : SeedTable()) {
    std::vector<std::u16string> path;
    std::u16string key = Utf8ToUtf16Lossy(seed.key);
    for (size_t start = 0; start <= key.size();) {
      size_t end = std::min(key.find(u'\\', start), key.size());
      path.push_back(key.substr(start, end - start));
      start = end + 1;
    }
    KeyId id = 0;
    bool created = false;
    if (DWORD code = CreateKey(machine, path, &id, &created); code != ERROR_SUCCESS) return SQLITE_IOERR;
    Bytes data;
    if (seed.type == REG_DWORD)
      data = EncodeDword(static_cast<uint32_t>(seed.number));
    else
      data = EncodeUtf16(Utf8ToUtf16Lossy(seed.text), true);
    std::u16string name = Utf8ToUtf16Lossy(seed.name);
    if (DWORD code = SetValue(id, name, seed.type, data.data(), data.size()); code != ERROR_SUCCESS)
      return SQLITE_IOERR;
  }
  Statement mark(*this, "INSERT INTO hive(name, value) VALUES('seeded', '1'), ('format', '1')");
  return mark.Run();
}

DWORD Store::Root(uintptr_t predefined, KeyId* id) {
  const char* name = nullptr;
  for (const auto& root : kRoots)
    if (root.predefined == predefined) name = root.name;
  if (!name) return ERROR_INVALID_HANDLE;
  std::lock_guard lock(mutex_);
  if (auto it = roots_.find(predefined); it != roots_.end()) {
    *id = it->second;
    return ERROR_SUCCESS;
  }
  return Run(Txn::kRead, [&](DWORD& result) {
    Statement find(*this, "SELECT id FROM keys WHERE parent=0 AND fold=?1");
    int rc = find.Bind(1, std::string(name)).Step();
    if (rc == SQLITE_ROW)
      *id = roots_[predefined] = find.Int(0);
    else if (rc == SQLITE_DONE)
      result = ERROR_REGISTRY_CORRUPT;
    return Done(rc);
  });
}

int Store::KeyExists(KeyId key, bool* exists) {
  Statement find(*this, "SELECT 1 FROM keys WHERE id=?1");
  int rc = find.Bind(1, key).Step();
  *exists = rc == SQLITE_ROW;
  return Done(rc);
}

int Store::FindChild(KeyId parent, std::u16string_view name, KeyId* child) {
  Statement find(*this, "SELECT id FROM keys WHERE parent=?1 AND fold=?2");
  int rc = find.Bind(1, parent).Bind(2, FoldName(name)).Step();
  *child = rc == SQLITE_ROW ? find.Int(0) : 0;
  return Done(rc);
}

int Store::TouchKey(KeyId key) {
  Statement touch(*this, "UPDATE keys SET modified=?2 WHERE id=?1");
  return touch.Bind(1, key).Bind(2, NowFileTime()).Run();
}

DWORD Store::OpenKey(KeyId base, const std::vector<std::u16string>& path, KeyId* out) {
  return RunOnKey(Txn::kRead, base, [&](DWORD& result) {
    KeyId current = base;
    for (const auto& name : path) {
      KeyId child = 0;
      if (int rc = FindChild(current, name, &child); rc != SQLITE_OK) return rc;
      if (!child) return Outcome(result, ERROR_FILE_NOT_FOUND);
      current = child;
    }
    *out = current;
    return SQLITE_OK;
  });
}

DWORD Store::CreateKey(KeyId base, const std::vector<std::u16string>& path, KeyId* out, bool* created) {
  return RunOnKey(Txn::kWrite, base, [&](DWORD&) {
    *created = false;
    KeyId current = base;
    for (const auto& name : path) {
      KeyId child = 0;
      if (int rc = FindChild(current, name, &child); rc != SQLITE_OK) return rc;
      if (!child) {
        Statement insert(*this, "INSERT INTO keys(parent, name, fold, modified) VALUES(?1, ?2, ?3, ?4)");
        int64_t now = NowFileTime();
        int rc = insert.Bind(1, current).Bind(2, Utf8(name)).Bind(3, FoldName(name)).Bind(4, now).Run();
        if (rc != SQLITE_OK) return rc;
        child = sqlite3_last_insert_rowid(db_);
        if (rc = TouchKey(current); rc != SQLITE_OK) return rc;
        *created = true;
      }
      current = child;
    }
    *out = current;
    return SQLITE_OK;
  });
}

int Store::DeleteBelow(KeyId key) {
  Statement values(*this,
                   "WITH RECURSIVE below(id) AS (SELECT id FROM keys WHERE parent=?1"
                   " UNION ALL SELECT keys.id FROM keys JOIN below ON keys.parent=below.id)"
                   " DELETE FROM vals WHERE key IN (SELECT id FROM below)");
  if (int rc = values.Bind(1, key).Run(); rc != SQLITE_OK) return rc;
  Statement keys(*this,
                 "WITH RECURSIVE below(id) AS (SELECT id FROM keys WHERE parent=?1"
                 " UNION ALL SELECT keys.id FROM keys JOIN below ON keys.parent=below.id)"
                 " DELETE FROM keys WHERE id IN (SELECT id FROM below)");
  return keys.Bind(1, key).Run();
}

DWORD Store::DeleteKey(KeyId key) {
  return Run(Txn::kWrite, [&](DWORD& result) {
    Statement find(*this, "SELECT parent, (SELECT count(*) FROM keys c WHERE c.parent=k.id) FROM keys k WHERE id=?1");
    int rc = find.Bind(1, key).Step();
    if (rc == SQLITE_DONE) return Outcome(result, ERROR_KEY_DELETED);
    if (rc != SQLITE_ROW) return rc;
    KeyId parent = find.Int(0);
    if (parent == 0 || find.Int(1) > 0) return Outcome(result, ERROR_ACCESS_DENIED);
    Statement values(*this, "DELETE FROM vals WHERE key=?1");
    if (rc = values.Bind(1, key).Run(); rc != SQLITE_OK) return rc;
    Statement remove(*this, "DELETE FROM keys WHERE id=?1");
    if (rc = remove.Bind(1, key).Run(); rc != SQLITE_OK) return rc;
    return TouchKey(parent);
  });
}

DWORD Store::DeleteTree(KeyId key, bool self) {
  return Run(Txn::kWrite, [&](DWORD& result) {
    Statement find(*this, "SELECT parent FROM keys WHERE id=?1");
    int rc = find.Bind(1, key).Step();
    if (rc == SQLITE_DONE) return Outcome(result, ERROR_KEY_DELETED);
    if (rc != SQLITE_ROW) return rc;
    KeyId parent = find.Int(0);
    if (self && parent == 0) return Outcome(result, ERROR_ACCESS_DENIED);
    if (rc = DeleteBelow(key); rc != SQLITE_OK) return rc;
    Statement values(*this, "DELETE FROM vals WHERE key=?1");
    if (rc = values.Bind(1, key).Run(); rc != SQLITE_OK) return rc;
    if (!self) return TouchKey(key);
    Statement remove(*this, "DELETE FROM keys WHERE id=?1");
    if (rc = remove.Bind(1, key).Run(); rc != SQLITE_OK) return rc;
    return TouchKey(parent);
  });
}

DWORD Store::QueryValue(KeyId key, std::u16string_view name, ValueRecord* out) {
  // One statement: its own snapshot.
  return Run(Txn::kNone, [&](DWORD& result) {
    Statement find(*this,
                   "SELECT v.name, v.type, v.data FROM keys k LEFT JOIN vals v"
                   " ON v.key=k.id AND v.fold=?2 WHERE k.id=?1");
    int rc = find.Bind(1, key).Bind(2, FoldName(name)).Step();
    if (rc == SQLITE_DONE) return Outcome(result, ERROR_KEY_DELETED);
    if (rc != SQLITE_ROW) return rc;
    if (find.IsNull(0)) return Outcome(result, ERROR_FILE_NOT_FOUND);
    *out = find.Value();
    return SQLITE_OK;
  });
}

DWORD Store::SetValue(KeyId key, std::u16string_view name, DWORD type, const uint8_t* data, size_t size) {
  return RunOnKey(Txn::kWrite, key, [&](DWORD&) {
    // An existing value keeps its name's case and its place in the enumeration.
    Statement upsert(*this,
                     "INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
                     " ON CONFLICT(key, fold) DO UPDATE SET type=excluded.type, data=excluded.data");
    int rc = upsert.Bind(1, key).Bind(2, Utf8(name)).Bind(3, FoldName(name)).Bind(4, type)
                 .BindBlob(5, data, size).Run();
    if (rc != SQLITE_OK) return rc;
    return TouchKey(key);
  });
}

DWORD Store::DeleteValue(KeyId key, std::u16string_view name) {
  return RunOnKey(Txn::kWrite, key, [&](DWORD& result) {
    Statement remove(*this, "DELETE FROM vals WHERE key=?1 AND fold=?2");
    if (int rc = remove.Bind(1, key).Bind(2, FoldName(name)).Run(); rc != SQLITE_OK) return rc;
    if (sqlite3_changes(db_) == 0) return Outcome(result, ERROR_FILE_NOT_FOUND);
    return TouchKey(key);
  });
}

DWORD Store::EnumKey(KeyId key, DWORD index, KeyRecord* out) {
  return RunOnKey(Txn::kRead, key, [&](DWORD& result) {
    Statement find(*this, "SELECT name, modified FROM keys WHERE parent=?1 ORDER BY fold LIMIT 1 OFFSET ?2");
    int rc = find.Bind(1, key).Bind(2, index).Step();
    if (rc == SQLITE_DONE) return Outcome(result, ERROR_NO_MORE_ITEMS);
    if (rc != SQLITE_ROW) return rc;
    out->name = find.Text(0);
    out->lastWrite = find.Int(1);
    return SQLITE_OK;
  });
}

DWORD Store::EnumValue(KeyId key, DWORD index, ValueRecord* out) {
  return RunOnKey(Txn::kRead, key, [&](DWORD& result) {
    Statement find(*this, "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY seq LIMIT 1 OFFSET ?2");
    int rc = find.Bind(1, key).Bind(2, index).Step();
    if (rc == SQLITE_DONE) return Outcome(result, ERROR_NO_MORE_ITEMS);
    if (rc != SQLITE_ROW) return rc;
    *out = find.Value();
    return SQLITE_OK;
  });
}

DWORD Store::Stats(KeyId key, bool details, KeyStats* out) {
  return Run(Txn::kRead, [&](DWORD& result) {
    *out = KeyStats();
    Statement find(*this,
                   "SELECT modified, (SELECT count(*) FROM keys c WHERE c.parent=k.id),"
                   " (SELECT count(*) FROM vals v WHERE v.key=k.id) FROM keys k WHERE id=?1");
    int rc = find.Bind(1, key).Step();
    if (rc == SQLITE_DONE) return Outcome(result, ERROR_KEY_DELETED);
    if (rc != SQLITE_ROW) return rc;
    out->lastWrite = find.Int(0);
    out->subKeys = static_cast<DWORD>(find.Int(1));
    out->values = static_cast<DWORD>(find.Int(2));
    if (!details) return SQLITE_OK;
    Statement keys(*this, "SELECT name FROM keys WHERE parent=?1 ORDER BY fold");
    keys.Bind(1, key);
    while ((rc = keys.Step()) == SQLITE_ROW) out->subKeyNames.push_back(keys.Text(0));
    if (rc != SQLITE_DONE) return rc;
    Statement values(*this, "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY seq");
    values.Bind(1, key);
    while ((rc = values.Step()) == SQLITE_ROW) out->valueRecords.push_back(values.Value());
    return Done(rc);
  });
}

DWORD Store::BeginExplicit() {
  mutex_.lock();
  const bool nested = txnDepth_ > 0;
  DWORD code = Run(Txn::kNone, [&](DWORD&) { return Control(nested ? "SAVEPOINT qv_explicit" : "BEGIN IMMEDIATE"); });
  if (code != ERROR_SUCCESS) {
    mutex_.unlock();
    return code;
  }
  ++txnDepth_;
  return ERROR_SUCCESS;
}

DWORD Store::CommitExplicit() {
  const bool nested = --txnDepth_ > 0;
  int rc = Control(nested ? "RELEASE qv_explicit" : "COMMIT");
  DWORD code = ERROR_SUCCESS;
  if (rc != SQLITE_OK) {
    code = SqliteToWin32(rc, sqlite3_system_errno(db_));
    if (nested) {
      Control("ROLLBACK TO qv_explicit");
      Control("RELEASE qv_explicit");
    } else if (!sqlite3_get_autocommit(db_)) {
      Control("ROLLBACK");
    }
  }
  mutex_.unlock();
  return code;
}

void Store::RollbackExplicit() {
  if (--txnDepth_ > 0) {
    Control("ROLLBACK TO qv_explicit");
    Control("RELEASE qv_explicit");
  } else if (!sqlite3_get_autocommit(db_)) {
    Control("ROLLBACK");
  }
  mutex_.unlock();
}

}  // namespace qvplatform::registry
