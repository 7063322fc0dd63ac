// The collection store: every module the intake accepted, with the module
// file's bytes, its serial, its index entry and the fields the browse page
// shows, the sender and the arrival time. The served folder is generated
// from it. An SQLite file by default; a PostgreSQL database (libpq) when the
// store is named by a "postgresql://" or "postgres://" connection URI. Both
// use the same tables:
//   modules(id, serial UNIQUE, entry, user_name, real_name, cpu, os, date,
//           time, processor, memory, drive, sender, arrived)
//   module_files(serial PRIMARY KEY, bytes)
//   meta(key PRIMARY KEY, value)
// (the module files apart, so that listing the modules does not pass them).
// `id` grows with every insert: the arrival order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "records/index_entry.h"

namespace kr {

// A module as filed: `bytes` is the module file as uploaded (scrambled).
struct StoredModule {
  std::string serial;
  std::vector<uint8_t> bytes;
  IndexEntry entry;
  std::string userName, realName, cpu, os, date, time;  // Latin-1, as the record holds them
  double processor = 0, memory = 0, drive = 0;           // the section totals, percent
  std::string sender;                                    // the mail's sender, empty when unknown
  int64_t arrived = 0;                                   // seconds since 1970
};

// Fills everything of a StoredModule but the sender and arrival time from
// the module file's bytes (9504, scrambled; the caller has judged them).
StoredModule DescribeStoredModule(const std::vector<uint8_t>& fileBytes);

// What the served folder needs of a module: everything but its bytes.
struct PublishedModule {
  std::string serial;
  IndexEntry entry;
  std::string userName, cpu, os, date, time;
  double processor = 0, memory = 0, drive = 0;
};

class Store {
 public:
  virtual ~Store() = default;
  // Held until the store is closed: no other intake writes to the store
  // meanwhile (waits for one that does).
  virtual bool Lock() = 0;
  virtual bool Begin() = 0;
  virtual bool Commit() = 0;
  virtual bool Rollback() = 0;
  // The bytes of the module filed under `serial`; `found` false when none.
  virtual bool Find(const std::string& serial, std::vector<uint8_t>& bytes, bool& found) = 0;
  virtual bool Insert(const StoredModule& m) = 0;
  virtual bool Count(int64_t& count) = 0;
  // The newest `limit` modules, oldest first, one at a time (the object is
  // reused); `each` returning false stops the listing (and fails it).
  virtual bool Newest(int64_t limit, const std::function<bool(const PublishedModule&)>& each) = 0;
  // A value of the meta table; empty when the key is absent.
  virtual bool GetMeta(const std::string& key, std::string& value) = 0;
  virtual bool SetMeta(const std::string& key, const std::string& value) = 0;
  // The reason of the last failure.
  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

// True when `where` names a PostgreSQL database rather than an SQLite file.
bool IsPostgresUri(const std::string& where);

// Opens (and creates when needed) the store; null with `error` set when it
// cannot. PostgreSQL support may be missing from a build: then a URI fails.
std::unique_ptr<Store> OpenSqliteStore(const std::string& path, std::string& error);
std::unique_ptr<Store> OpenPostgresStore(const std::string& uri, std::string& error);
std::unique_ptr<Store> OpenStore(const std::string& where, std::string& error);

}  // namespace kr
