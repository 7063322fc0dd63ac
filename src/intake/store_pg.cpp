// The store in a PostgreSQL database (libpq): the same tables as the SQLite
// store; the run's lock is a session-level advisory lock, so intakes on
// several machines sharing one database take turns.
#include <libpq-fe.h>

#include <cstring>

#include "intake/store.h"

namespace kr {

namespace {

constexpr const char* kPgSchema =
    "CREATE TABLE IF NOT EXISTS modules ("
    " id BIGSERIAL PRIMARY KEY,"
    " serial TEXT NOT NULL UNIQUE,"
    " entry BYTEA NOT NULL,"
    " user_name TEXT NOT NULL, real_name TEXT NOT NULL, cpu TEXT NOT NULL, os TEXT NOT NULL,"
    " date TEXT NOT NULL, time TEXT NOT NULL,"
    " processor DOUBLE PRECISION NOT NULL, memory DOUBLE PRECISION NOT NULL, drive DOUBLE PRECISION NOT NULL,"
    " sender TEXT NOT NULL, arrived BIGINT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS module_files (serial TEXT PRIMARY KEY, bytes BYTEA NOT NULL);"
    "CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);";

// The advisory lock key of the intake ("KRINTAKE" as a number).
constexpr const char* kLockKey = "5427964009542952517";

uint64_t BigEndian(const char* p, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | uint8_t(p[i]);
  return v;
}
double Float8(const char* p) {
  uint64_t v = BigEndian(p, 8);
  double d;
  std::memcpy(&d, &v, 8);
  return d;
}

// A result that clears itself.
struct Result {
  PGresult* r;
  explicit Result(PGresult* res) : r(res) {}
  ~Result() { PQclear(r); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  bool ok() const {
    ExecStatusType s = PQresultStatus(r);
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
  }
  std::string Get(int row, int col) const {
    return std::string(PQgetvalue(r, row, col), size_t(PQgetlength(r, row, col)));
  }
};

// Latin-1 texts are kept as their bytes in the text columns: the connection
// uses the LATIN1 client encoding, so every byte is a character.
class PostgresStore : public Store {
 public:
  ~PostgresStore() override {
    if (conn_) PQfinish(conn_);
  }

  bool Open(const std::string& uri) {
    conn_ = PQconnectdb(uri.c_str());
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK) return Fail("cannot connect to the store");
    if (PQsetClientEncoding(conn_, "LATIN1") != 0) return Fail("cannot set the store's client encoding");
    {
      Result r(PQexec(conn_, "SET client_min_messages = warning"));
      if (!r.ok()) return Fail("cannot set up the store connection");
    }
    // Two first runs at once: the lock makes the second wait for the tables.
    return Lock() && Exec(kPgSchema);
  }

  bool Lock() override {
    if (locked_) return true;
    const char* v[] = {kLockKey};
    Result r(PQexecParams(conn_, "SELECT pg_advisory_lock($1::bigint)", 1, nullptr, v, nullptr, nullptr, 0));
    locked_ = r.ok();
    return locked_ || Fail("cannot lock the store");
  }
  bool Begin() override { return Exec("BEGIN"); }
  bool Commit() override { return Exec("COMMIT"); }
  bool Rollback() override { return Exec("ROLLBACK"); }

  bool Find(const std::string& serial, std::vector<uint8_t>& bytes, bool& found) override {
    found = false;
    const char* v[] = {serial.c_str()};
    Result r(PQexecParams(conn_, "SELECT bytes FROM module_files WHERE serial = $1", 1, nullptr, v, nullptr, nullptr, 1));
    if (!r.ok()) return Fail("cannot look a module up in the store");
    if (PQntuples(r.r) > 0) {
      std::string b = r.Get(0, 0);
      bytes.assign(b.begin(), b.end());
      found = true;
    }
    return true;
  }

  bool Insert(const StoredModule& m) override {
    char processor[8], memory[8], drive[8], arrived[8];
    auto put = [](char* out, uint64_t v) {
      for (int i = 7; i >= 0; --i, v >>= 8) out[i] = char(v & 0xFF);
    };
    uint64_t bits;
    std::memcpy(&bits, &m.processor, 8);
    put(processor, bits);
    std::memcpy(&bits, &m.memory, 8);
    put(memory, bits);
    std::memcpy(&bits, &m.drive, 8);
    put(drive, bits);
    put(arrived, uint64_t(m.arrived));
    const char* v[14] = {m.serial.data(), reinterpret_cast<const char*>(m.bytes.data()),
                         reinterpret_cast<const char*>(m.entry.data()), m.userName.data(), m.realName.data(),
                         m.cpu.data(), m.os.data(), m.date.data(), m.time.data(), processor, memory, drive,
                         m.sender.data(), arrived};
    int len[14] = {int(m.serial.size()), int(m.bytes.size()), int(m.entry.bytes.size()), int(m.userName.size()),
                   int(m.realName.size()), int(m.cpu.size()), int(m.os.size()), int(m.date.size()),
                   int(m.time.size()), 8, 8, 8, int(m.sender.size()), 8};
    int fmt[14];
    for (int& f : fmt) f = 1;
    // Texts in binary form are their bytes; a NUL cannot occur in them.
    Result r(PQexecParams(conn_,
                          "WITH file AS (INSERT INTO module_files (serial, bytes) VALUES ($1::text, $2::bytea))"
                          " INSERT INTO modules (serial, entry, user_name, real_name, cpu, os, date, time,"
                          " processor, memory, drive, sender, arrived) VALUES"
                          " ($1::text, $3::bytea, $4::text, $5::text, $6::text, $7::text, $8::text,"
                          " $9::text, $10::float8, $11::float8, $12::float8, $13::text, $14::int8)",
                          14, nullptr, v, len, fmt, 0));
    return r.ok() || Fail("cannot add module " + m.serial + " to the store");
  }

  bool Count(int64_t& count) override {
    Result r(PQexecParams(conn_, "SELECT count(*)::int8 FROM modules", 0, nullptr, nullptr, nullptr, nullptr, 1));
    if (!r.ok() || PQntuples(r.r) != 1) return Fail("cannot count the modules of the store");
    count = int64_t(BigEndian(PQgetvalue(r.r, 0, 0), 8));
    return true;
  }

  bool Newest(int64_t limit, const std::function<bool(const PublishedModule&)>& each) override {
    std::string l = std::to_string(limit);
    const char* v[] = {l.c_str()};
    Result r(PQexecParams(conn_,
                          "SELECT serial, entry, user_name, cpu, os, date, time, processor, memory, drive"
                          " FROM modules WHERE id >= coalesce((SELECT id FROM modules ORDER BY id DESC LIMIT 1"
                          " OFFSET $1::int8 - 1), 0) ORDER BY id",
                          1, nullptr, v, nullptr, nullptr, 1));
    if (!r.ok()) return Fail("cannot read the modules of the store");
    int rows = PQntuples(r.r);
    PublishedModule p;
    for (int i = 0; i < rows; ++i) {
      p.serial = r.Get(i, 0);
      if (size_t(PQgetlength(r.r, i, 1)) == p.entry.bytes.size())
        std::memcpy(p.entry.data(), PQgetvalue(r.r, i, 1), p.entry.bytes.size());
      else
        p.entry.bytes.fill(0);
      p.userName = r.Get(i, 2);
      p.cpu = r.Get(i, 3);
      p.os = r.Get(i, 4);
      p.date = r.Get(i, 5);
      p.time = r.Get(i, 6);
      p.processor = Float8(PQgetvalue(r.r, i, 7));
      p.memory = Float8(PQgetvalue(r.r, i, 8));
      p.drive = Float8(PQgetvalue(r.r, i, 9));
      if (!each(p)) return false;
    }
    return true;
  }

  bool GetMeta(const std::string& key, std::string& value) override {
    value.clear();
    const char* v[] = {key.c_str()};
    Result r(PQexecParams(conn_, "SELECT value FROM meta WHERE key = $1", 1, nullptr, v, nullptr, nullptr, 0));
    if (!r.ok()) return Fail("cannot read the store's settings");
    if (PQntuples(r.r) > 0) value = r.Get(0, 0);
    return true;
  }

  bool SetMeta(const std::string& key, const std::string& value) override {
    const char* v[] = {key.c_str(), value.c_str()};
    Result r(PQexecParams(conn_,
                          "INSERT INTO meta (key, value) VALUES ($1, $2)"
                          " ON CONFLICT (key) DO UPDATE SET value = excluded.value",
                          2, nullptr, v, nullptr, nullptr, 0));
    return r.ok() || Fail("cannot write the store's settings");
  }

 private:
  bool Fail(const std::string& what) {
    std::string reason = conn_ ? PQerrorMessage(conn_) : "out of memory";
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
    error_ = what + ": " + reason;
    return false;
  }
  bool Exec(const char* sql) {
    Result r(PQexec(conn_, sql));
    return r.ok() || Fail("store");
  }

  PGconn* conn_ = nullptr;
  bool locked_ = false;
};

}  // namespace

std::unique_ptr<Store> OpenPostgresStore(const std::string& uri, std::string& error) {
  auto store = std::make_unique<PostgresStore>();
  if (!store->Open(uri)) {
    error = store->error();
    return nullptr;
  }
  return store;
}

}  // namespace kr
