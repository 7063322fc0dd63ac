// Mails, modules and collections for the intake tests, and the stores they
// run against: an SQLite file, and a PostgreSQL server the tests start
// themselves in a temporary folder (listening only on a socket there).
#pragma once

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <libpq-fe.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "intake/intake.h"
#include "modules/module_index.h"
#include "net/base64.h"
#include "net/smtp.h"
#include "net_fixture.h"
#include "records/catalogue.h"

namespace kr::test {

using namespace net_files;

// A mail as the upload composes it (the text after DATA, without the final
// "."), with LF line ends as a Maildir keeps it.
inline std::string MailWith(const std::string& attachment, const std::string& name = "0x.dbe", bool crlf = false,
                            const std::string& sender = "me@example.org") {
  MailPieces p;
  p.hostName = "host";
  p.email = sender;
  p.realName = "Me";
  p.userName = "me";
  p.mailbox = "modules@example.org";
  p.fileName = name;
  EncodeBase64(reinterpret_cast<const uint8_t*>(attachment.data()), attachment.size(), p.base64, "\r\n");
  std::string text = ComposeModuleMail(p)[5].text;
  text = "Return-Path: <" + sender + ">\r\n" + text.substr(0, text.size() - 3);
  if (!crlf) {
    std::string lf;
    for (char c : text)
      if (c != '\r') lf += c;
    text = lf;
  }
  return text;
}

// Module number i of a set: its own user, CPU, operating system, date and
// section totals, with the serial a fresh module gets.
inline ModuleRecord VariedModule(const ModuleRecord& base, int i) {
  static const char* const kCpus[] = {"AMD Ryzen 7 5800X", "Intel Core i5-8250U", "Intel Xeon E5-2680 v4",
                                      "AMD EPYC 7302", "Intel Core i9-12900K", "ARM Cortex-A72"};
  static const char* const kOses[] = {"Debian 12", "Ubuntu 24.04", "Fedora 40", "Arch Linux", "openSUSE 15.6"};
  ModuleRecord m = base;
  m.set_text(mod::kUserName, mod::kUserNameWidth, "user" + std::to_string(i));
  m.set_text(mod::kCpu, mod::kSysTextWidth, kCpus[i % 6]);
  m.set_text(mod::kOs, mod::kSysTextWidth, kOses[(i / 6) % 5]);
  char date[16], time[16];
  std::snprintf(date, sizeof date, "%02d-%02d-%02d", i % 28 + 1, (i / 28) % 12 + 1, 20 + (i / 336) % 6);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", i % 24, i % 60, (i * 7) % 60);
  m.set_text(mod::kDate, mod::kStampWidth, date);
  m.set_text(mod::kTime, mod::kStampWidth, time);
  // Raw figures in every figure field, so a module page has numbers to show.
  for (size_t off = 0; off < rec::kMemoryAreaEnd; off += 8) m.setFigure(off, 10.0 + double((i * 37 + off * 53) % 90000) / 100.0);
  for (size_t off = rec::kDriveFigures; off < rec::kDriveFiguresEnd; off += 8)
    m.setFigure(off, 1.0 + double((i * 41 + off * 29) % 50000) / 100.0);
  // Scores as a run gives them: each test 0.5 to 95.49 percent, the totals
  // below 100 KelvaRANKS.
  for (int t = 0; t < kCatalogueSize; ++t) m.setScore(kCatalogue[t].slot, {0.5 + double((i * 31 + t * 977) % 9500) / 100.0, 1.0});
  m.setScore(slot::kSystemTotal, {20.0 + double((i * 6151) % 7900) / 100.0, 1.0});
  m.setScore(slot::kProcessorTotal, {10.0 + double((i * 7919) % 8990) / 100.0, 1.0});
  m.setScore(slot::kMemoryTotal, {5.0 + double((i * 104729) % 9000) / 100.0, 1.0});
  m.setScore(slot::kDriveTotal, {1.0 + double((i * 1299709) % 9800) / 100.0, 1.0});
  std::memset(m.data() + mod::kSerial, 0, mod::kSerialWidth);
  MakeModuleSerial(m);
  return m;
}

inline int RunShell(const std::string& cmd) {
  int rc = std::system(cmd.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// A PostgreSQL server of the system's package, started on first use in a
// temporary folder (its socket there, no TCP port) and stopped when the test
// program ends. Server processes refuse to run as root: as root the folder
// belongs to the postgres user (else nobody) and the server runs as that user.
class PostgresServer {
 public:
  static PostgresServer& Get() {
    static PostgresServer server;
    return server;
  }
  bool ok() const { return !dir_.empty() && reason_.empty(); }
  const std::string& reason() const { return reason_; }
  // A URI of a new, empty store: a schema of its own in one database,
  // made over one open connection (a database per store cost a client
  // process and a copy of the template at every kill step).
  std::string NewDatabase() {
    if (admin_ == nullptr) {
      admin_ = PQconnectdb(("postgresql://kr@/postgres?host=" + dir_).c_str());
      if (PQstatus(admin_) != CONNECTION_OK) return {};
    }
    std::string name = "t" + std::to_string(++databases_);
    PGresult* r = PQexec(admin_, ("CREATE SCHEMA " + name).c_str());
    const bool made = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
    if (!made) return {};
    return "postgresql://kr@/postgres?host=" + dir_ + "&options=-csearch_path%3D" + name;
  }
  ~PostgresServer() {
    if (dir_.empty() || ::getpid() != owner_) return;
    if (admin_ != nullptr) PQfinish(admin_);
    RunShell(As() + bin_ + "/pg_ctl -D " + dir_ + "/data -m immediate -s stop >/dev/null 2>&1");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

 private:
  PostgresServer() {
    owner_ = ::getpid();
    for (const char* v : {"17", "16", "15", "14", "13"}) {
      std::string b = std::string("/usr/lib/postgresql/") + v + "/bin";
      if (::access((b + "/initdb").c_str(), X_OK) == 0 && ::access((b + "/pg_ctl").c_str(), X_OK) == 0) {
        bin_ = b;
        break;
      }
    }
    if (bin_.empty()) {
      reason_ = "needs the PostgreSQL server (Debian package postgresql: initdb and pg_ctl)";
      return;
    }
    psql_ = ::access("/usr/bin/psql", X_OK) == 0 ? "/usr/bin/psql" : bin_ + "/psql";
    char tmpl[] = "/tmp/kr-pg-XXXXXX";
    if (!::mkdtemp(tmpl)) {
      reason_ = "cannot make a temporary folder";
      return;
    }
    dir_ = tmpl;
    if (::geteuid() == 0) {
      passwd* pw = ::getpwnam("postgres");
      if (!pw) pw = ::getpwnam("nobody");
      if (!pw || ::chown(dir_.c_str(), pw->pw_uid, pw->pw_gid) != 0) {
        reason_ = "cannot hand the server's folder to an unprivileged user";
        return;
      }
      user_ = pw->pw_name;
    }
    const std::string log = dir_ + "/server.log";
    if (RunShell(As() + bin_ + "/initdb -D " + dir_ + "/data -A trust -U kr --no-locale -E UTF8 --no-sync >" + dir_ +
                 "/initdb.log 2>&1") != 0) {
      reason_ = "initdb failed (" + dir_ + "/initdb.log)";
      return;
    }
    if (RunShell(As() + bin_ + "/pg_ctl -D " + dir_ + "/data -l " + log + " -w -s -o \"-c listen_addresses='' -k " +
                 dir_ + " -c fsync=off -c max_connections=40\" start >/dev/null 2>&1") != 0) {
      reason_ = "the server did not start (" + log + ")";
      return;
    }
  }
  std::string As() const { return user_.empty() ? std::string() : "runuser -u " + user_ + " -- "; }

  std::string bin_, psql_, dir_, user_, reason_;
  int databases_ = 0;
  pid_t owner_ = 0;
  PGconn* admin_ = nullptr;
};

// The two kinds of store every store test runs against.
enum class StoreKind { Sqlite, Postgres };
inline std::string StoreName(const testing::TestParamInfo<StoreKind>& info) {
  return info.param == StoreKind::Sqlite ? "Sqlite" : "Postgres";
}

struct Collection {
  TestContext t;  // a context to make modules with
  TempDir root;
  std::string maildir = root.path() + "/mail", webdir = root.path() + "/web";
  std::string store;  // empty: the default SQLite file
  std::vector<std::string> log;
  int64_t publishLimit = 0;

  explicit Collection(StoreKind kind = StoreKind::Sqlite) {
    for (const char* d : {"/mail", "/mail/new", "/mail/cur", "/mail/tmp", "/web"})
      ::mkdir((root.path() + d).c_str(), 0700);
    if (kind == StoreKind::Postgres) store = PostgresServer::Get().NewDatabase();
  }
  void Mail(const std::string& where, const std::string& text) { Write(maildir + "/" + where, text); }
  IntakeOptions Options() const {
    IntakeOptions o;
    o.maildir = maildir;
    o.webdir = webdir;
    o.store = store;
    o.publishLimit = publishLimit;
    return o;
  }
  bool Run(IntakeSummary& s, const std::function<void(int)>& step = {}) {
    log.clear();
    IntakeOptions o = Options();
    o.step = step;
    return RunIntake(o, [&](const std::string& l) { log.push_back(l); }, s);
  }
  std::vector<IndexEntry> Index() const {
    std::string b = Read(webdir + "/database.dbi");
    return ParseIndex(reinterpret_cast<const uint8_t*>(b.data()), b.size()).entries;
  }
  std::vector<std::string> IndexSerials() const {
    std::vector<std::string> out;
    for (const IndexEntry& e : Index()) out.emplace_back(e.serial());
    return out;
  }
};

// Skips a PostgreSQL case where the server cannot be started.
#define KR_NEEDS_STORE(kind)                                                                  \
  do {                                                                                        \
    if ((kind) == StoreKind::Postgres && !PostgresServer::Get().ok())                         \
      GTEST_SKIP() << "PostgreSQL store: " << PostgresServer::Get().reason();                \
  } while (0)

}  // namespace kr::test
