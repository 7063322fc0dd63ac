// The store in an SQLite file: write-ahead log, one transaction per batch,
// and a lock file beside the database for the whole run.
#include <sqlite3.h>
#include <unistd.h>

#include <cstring>

#include "intake/files.h"
#include "intake/store.h"

namespace kr {

namespace {

constexpr const char* kSqliteSchema =
    "CREATE TABLE IF NOT EXISTS modules ("
    " id INTEGER PRIMARY KEY,"
    " serial TEXT NOT NULL UNIQUE,"
    " entry BLOB NOT NULL,"
    " user_name TEXT NOT NULL, real_name TEXT NOT NULL, cpu TEXT NOT NULL, os TEXT NOT NULL,"
    " date TEXT NOT NULL, time TEXT NOT NULL,"
    " processor REAL NOT NULL, memory REAL NOT NULL, drive REAL NOT NULL,"
    " sender TEXT NOT NULL, arrived INTEGER NOT NULL);"
    // The module files apart: listing the modules never passes their bytes.
    "CREATE TABLE IF NOT EXISTS module_files (serial TEXT PRIMARY KEY, bytes BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);";

std::string Column(sqlite3_stmt* s, int i) {
  const void* p = sqlite3_column_blob(s, i);
  int n = sqlite3_column_bytes(s, i);
  return p ? std::string(static_cast<const char*>(p), size_t(n)) : std::string();
}

class SqliteStore : public Store {
 public:
  ~SqliteStore() override {
    for (sqlite3_stmt* s : {find_, insert_, insertFile_, newest_, getMeta_, setMeta_}) sqlite3_finalize(s);
    if (db_) sqlite3_close(db_);
    if (lock_ >= 0) ::close(lock_);
  }

  bool Open(const std::string& path) {
    path_ = path;
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW,
                        nullptr) != SQLITE_OK) {
      return Fail("cannot open the store " + path);
    }
    sqlite3_busy_timeout(db_, 60000);
    // Large pages (for a new store): publishing reads the whole list of the
    // newest modules, a few hundred pages rather than thousands.
    if (!Exec("PRAGMA page_size=65536") || !Exec("PRAGMA journal_mode=WAL") || !Exec("PRAGMA synchronous=FULL") ||
        !Exec(kSqliteSchema))
      return false;
    return Prepare("SELECT bytes FROM module_files WHERE serial = ?1", find_) &&
           Prepare("INSERT INTO modules (serial, entry, user_name, real_name, cpu, os, date, time,"
                   " processor, memory, drive, sender, arrived)"
                   " VALUES (?1, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)",
                   insert_) &&
           Prepare("INSERT INTO module_files (serial, bytes) VALUES (?1, ?2)", insertFile_) &&
           // Not the module bytes: they are most of a row and not needed here.
           // One pass in id order from the first one listed, no sorting.
           Prepare("SELECT serial, entry, user_name, cpu, os, date, time, processor, memory, drive FROM modules"
                   " WHERE id >= coalesce((SELECT id FROM modules ORDER BY id DESC LIMIT 1 OFFSET ?1 - 1), 0)"
                   " ORDER BY id",
                   newest_) &&
           Prepare("SELECT value FROM meta WHERE key = ?1", getMeta_) &&
           Prepare("INSERT INTO meta (key, value) VALUES (?1, ?2)"
                   " ON CONFLICT (key) DO UPDATE SET value = excluded.value",
                   setMeta_);
  }

  bool Lock() override {
    if (lock_ >= 0) return true;
    lock_ = TakeLock(path_ + ".lock", error_);
    return lock_ >= 0;
  }
  bool Begin() override { return Exec("BEGIN IMMEDIATE"); }
  bool Commit() override { return Exec("COMMIT"); }
  bool Rollback() override { return Exec("ROLLBACK"); }

  bool Find(const std::string& serial, std::vector<uint8_t>& bytes, bool& found) override {
    found = false;
    sqlite3_reset(find_);
    sqlite3_bind_text(find_, 1, serial.data(), int(serial.size()), SQLITE_STATIC);
    int rc = sqlite3_step(find_);
    if (rc == SQLITE_ROW) {
      std::string b = Column(find_, 0);
      bytes.assign(b.begin(), b.end());
      found = true;
      rc = sqlite3_step(find_);
    }
    sqlite3_reset(find_);
    return rc == SQLITE_DONE || Fail("cannot look a module up in the store");
  }

  bool Insert(const StoredModule& m) override {
    sqlite3_stmt* s = insert_;
    sqlite3_reset(s);
    auto text = [&](int i, const std::string& t) { sqlite3_bind_text(s, i, t.data(), int(t.size()), SQLITE_STATIC); };
    text(1, m.serial);
    sqlite3_bind_blob(s, 2, m.bytes.data(), int(m.bytes.size()), SQLITE_STATIC);
    sqlite3_bind_blob(s, 3, m.entry.data(), int(m.entry.bytes.size()), SQLITE_STATIC);
    text(4, m.userName);
    text(5, m.realName);
    text(6, m.cpu);
    text(7, m.os);
    text(8, m.date);
    text(9, m.time);
    sqlite3_bind_double(s, 10, m.processor);
    sqlite3_bind_double(s, 11, m.memory);
    sqlite3_bind_double(s, 12, m.drive);
    text(13, m.sender);
    sqlite3_bind_int64(s, 14, m.arrived);
    int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc == SQLITE_DONE) {
      s = insertFile_;
      sqlite3_reset(s);
      text(1, m.serial);
      sqlite3_bind_blob(s, 2, m.bytes.data(), int(m.bytes.size()), SQLITE_STATIC);
      rc = sqlite3_step(s);
      sqlite3_reset(s);
    }
    return rc == SQLITE_DONE || Fail("cannot add module " + m.serial + " to the store");
  }

  bool Count(int64_t& count) override {
    sqlite3_stmt* s = nullptr;
    if (!Prepare("SELECT count(*) FROM modules", s)) return false;
    bool ok = sqlite3_step(s) == SQLITE_ROW;
    count = ok ? sqlite3_column_int64(s, 0) : 0;
    sqlite3_finalize(s);
    return ok || Fail("cannot count the modules of the store");
  }

  bool Newest(int64_t limit, const std::function<bool(const PublishedModule&)>& each) override {
    sqlite3_reset(newest_);
    sqlite3_bind_int64(newest_, 1, limit);
    PublishedModule p;
    int rc;
    bool stopped = false;
    while ((rc = sqlite3_step(newest_)) == SQLITE_ROW) {
      p.serial = Column(newest_, 0);
      const void* e = sqlite3_column_blob(newest_, 1);
      if (e && size_t(sqlite3_column_bytes(newest_, 1)) == p.entry.bytes.size())
        std::memcpy(p.entry.data(), e, p.entry.bytes.size());
      else
        p.entry.bytes.fill(0);
      p.userName = Column(newest_, 2);
      p.cpu = Column(newest_, 3);
      p.os = Column(newest_, 4);
      p.date = Column(newest_, 5);
      p.time = Column(newest_, 6);
      p.processor = sqlite3_column_double(newest_, 7);
      p.memory = sqlite3_column_double(newest_, 8);
      p.drive = sqlite3_column_double(newest_, 9);
      if (!each(p)) {
        stopped = true;
        break;
      }
    }
    sqlite3_reset(newest_);
    if (stopped) return false;
    return rc == SQLITE_DONE || Fail("cannot read the modules of the store");
  }

  bool GetMeta(const std::string& key, std::string& value) override {
    value.clear();
    sqlite3_reset(getMeta_);
    sqlite3_bind_text(getMeta_, 1, key.data(), int(key.size()), SQLITE_STATIC);
    int rc = sqlite3_step(getMeta_);
    if (rc == SQLITE_ROW) {
      value = Column(getMeta_, 0);
      rc = sqlite3_step(getMeta_);
    }
    sqlite3_reset(getMeta_);
    return rc == SQLITE_DONE || Fail("cannot read the store's settings");
  }

  bool SetMeta(const std::string& key, const std::string& value) override {
    sqlite3_reset(setMeta_);
    sqlite3_bind_text(setMeta_, 1, key.data(), int(key.size()), SQLITE_STATIC);
    sqlite3_bind_text(setMeta_, 2, value.data(), int(value.size()), SQLITE_STATIC);
    int rc = sqlite3_step(setMeta_);
    sqlite3_reset(setMeta_);
    return rc == SQLITE_DONE || Fail("cannot write the store's settings");
  }

 private:
  bool Fail(const std::string& what) {
    error_ = what + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
    return false;
  }
  bool Exec(const char* sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
    error_ = "store " + path_ + ": " + (msg ? msg : "error");
    sqlite3_free(msg);
    return false;
  }
  bool Prepare(const char* sql, sqlite3_stmt*& s) {
    return sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) == SQLITE_OK || Fail("cannot prepare a store query");
  }

  std::string path_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt *find_ = nullptr, *insert_ = nullptr, *insertFile_ = nullptr, *newest_ = nullptr, *getMeta_ = nullptr, *setMeta_ = nullptr;
  int lock_ = -1;
};

}  // namespace

std::unique_ptr<Store> OpenSqliteStore(const std::string& path, std::string& error) {
  auto store = std::make_unique<SqliteStore>();
  if (!store->Open(path)) {
    error = store->error();
    return nullptr;
  }
  return store;
}

}  // namespace kr
