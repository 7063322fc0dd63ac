#include "intake/intake.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <unordered_set>

#include "intake/browse.h"
#include "intake/files.h"
#include "intake/mime.h"
#include "intake/store.h"
#include "modules/module_index.h"
#include "modules/module_record.h"
#include "net/base64.h"
#include "net/download.h"
#include "util/numtext.h"

namespace kr {

namespace {

constexpr size_t kMaxMail = 1 << 20;  // a mail with one module is about 14 KB
// Changed with the browse page's files, so that a new intake rewrites them.
constexpr const char* kPageVersion = "page-1";

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

// The Maildir info of a name ("unique:2,FLAGS"): its flags, and the name
// without the info.
std::string MailFlags(const std::string& name) {
  size_t colon = name.rfind(":2,");
  return colon == std::string::npos ? std::string() : name.substr(colon + 3);
}
std::string MailBase(const std::string& name) { return name.substr(0, name.rfind(":2,")); }

bool EndsWithDbe(const std::string& name) {
  return name.size() >= 4 && Lower(name.substr(name.size() - 4)) == ".dbe";
}

// The reason a mail is refused, or empty with the module file's bytes.
std::string TakeAttachment(const std::string& mail, std::vector<uint8_t>& bytes) {
  std::vector<MimePart> parts;
  if (!MimeLeafParts(mail, parts)) return "not a readable MIME mail";
  for (const MimePart& p : parts) {
    if (!EndsWithDbe(p.fileName)) continue;
    if (p.transferEncoding != "base64") return "module attachment is not base64";
    // A little room over a module's size tells "too large" from "undecodable".
    if (!DecodeBase64(p.body, bytes, mod::kFileSize + 3)) {
      std::vector<uint8_t> probe;
      return DecodeBase64(p.body, probe, kMaxMail) ? "module attachment is not 9504 bytes"
                                                  : "module attachment is not valid base64";
    }
    return {};
  }
  return "no .dbe attachment";
}

// Mails of a Maildir folder: names not starting with ".", sorted; regular
// files and symbolic links (a link is refused when it is read, so it does
// not stay in new/ for ever). Sub-folders are left alone.
bool ListMails(const std::string& dir, std::vector<std::string>& names, std::string& error) {
  names.clear();
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    error = SystemError("cannot read the folder " + dir);
    return false;
  }
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.') continue;
    struct stat st;
    if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
      names.emplace_back(e->d_name);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  return true;
}

// The sender of a mail: its Return-Path, else its From field; at most 200
// bytes; empty when neither is there.
std::string MailSender(const std::string& mail) {
  size_t end = mail.find("\n\n");
  size_t crlf = mail.find("\r\n\r\n");
  if (crlf < end) end = crlf;
  std::string_view header(mail.data(), std::min(end, mail.size()));
  std::string s = HeaderField(header, "Return-Path");
  if (s.empty() || s == "<>") s = HeaderField(header, "From");
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  size_t lead = s.find_first_not_of(" \t");
  s = lead == std::string::npos ? std::string() : s.substr(lead);
  return s.substr(0, 200);
}

bool IsServedModuleName(const std::string& name, std::string& serial) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = name.substr(dot);
  if (ext != ".dbe" && ext != ".html") return false;
  serial = name.substr(0, dot);
  return IsWellFormedSerial(serial);
}

// The run's state shared by its steps.
struct Run {
  const IntakeOptions& o;
  const std::function<void(const std::string&)>& log;
  IntakeSummary& summary;
  Store* store = nullptr;
  int steps = 0;

  void Step() {
    ++steps;
    if (o.step) o.step(steps);
  }
  bool Fail(const std::string& what) {
    log("error: " + what);
    return false;
  }

  // Replaces a generated file.
  bool WriteGenerated(const std::string& name, const std::string& data) {
    std::string error;
    if (!ReplaceFile(o.webdir, name, data.data(), data.size(), error)) return Fail(error);
    Step();
    return true;
  }

  // A store that has never been filled takes what the web folder serves.
  bool ImportServedFolder() {
    std::string done;
    if (!store->GetMeta("imported", done)) return Fail(store->error());
    if (!done.empty()) return true;
    const std::string indexPath = o.webdir + "/database.dbi";
    std::string index, error;
    bool tooLarge, missing;
    if (!ReadNoFollow(indexPath, SIZE_MAX, index, tooLarge, missing, error) && !missing)
      return Fail(error + "; nothing was changed");
    size_t n = 0;
    if (!missing) {
      long count = -1;
      std::string field = index.substr(0, std::min(index.size(), idx::kCountField));
      field.resize(std::min(field.size(), field.find('\0')));
      if (index.size() < idx::kCountField || (index.size() - idx::kCountField) % idx::kEntrySize != 0)
        return Fail(indexPath + " is " + std::to_string(index.size()) +
                    " bytes, not 10 + 1003 bytes per entry; nothing was changed");
      n = (index.size() - idx::kCountField) / idx::kEntrySize;
      if (StrToLong(field, count) < 0 || count < 0 || size_t(count) != n)
        return Fail(indexPath + " holds " + std::to_string(n) + " entries but its count reads \"" +
                    EscapeForLog(field) + "\"; nothing was changed");
    }
    if (!store->Begin()) return Fail(store->error());
    std::set<std::string> taken;
    int imported = 0;
    for (size_t i = 0; i < n; ++i) {
      IndexEntry e;
      std::memcpy(e.data(), index.data() + idx::kCountField + i * idx::kEntrySize, idx::kEntrySize);
      std::string serial(e.serial());
      std::string file, reason;
      if (!IsWellFormedSerial(serial)) {
        log("import: entry " + std::to_string(i + 1) + " left out: its serial is not well formed");
        continue;
      }
      if (!taken.insert(serial).second) {
        log("import: entry " + std::to_string(i + 1) + " left out: serial " + serial + " is listed before");
        continue;
      }
      if (!ReadNoFollow(o.webdir + "/" + serial + ".dbe", mod::kFileSize, file, tooLarge, missing, reason)) {
        log("import: module " + serial + " left out: " + reason);
        continue;
      }
      std::vector<uint8_t> bytes(file.begin(), file.end());
      std::string judged;
      reason = tooLarge ? "the module file is larger than 9504 bytes" : JudgeModuleFile(bytes, judged);
      if (reason.empty() && judged != serial) reason = "the module file holds module " + judged;
      if (!reason.empty()) {
        log("import: module " + serial + " left out: " + reason);
        continue;
      }
      StoredModule m = DescribeStoredModule(bytes);
      struct stat st;
      m.arrived = ::stat((o.webdir + "/" + serial + ".dbe").c_str(), &st) == 0 ? int64_t(st.st_mtime) : 0;
      if (!store->Insert(m)) {
        std::string e2 = store->error();
        store->Rollback();
        return Fail(e2);
      }
      ++imported;
    }
    if (!store->SetMeta("imported", "1") || !store->Commit()) {
      std::string e2 = store->error();
      store->Rollback();
      return Fail(e2);
    }
    if (n > 0) log("import: " + std::to_string(imported) + " of " + std::to_string(n) + " modules of " + indexPath +
                   " taken into the store");
    Step();
    return true;
  }

  // The web folder from the store.
  bool Publish() {
    const int64_t limit = o.publishLimit > 0 ? o.publishLimit : int64_t(kMaxServerEntries);
    int64_t filed = 0;
    if (!store->Count(filed)) return Fail(store->error());
    const int64_t count = std::min(filed, limit);
    summary.filed = filed;
    summary.published = count;
    if (filed > limit)
      log("the store holds " + std::to_string(filed) + " modules; database.dbi lists the newest " +
          std::to_string(limit) + ", the most a client accepts");

    std::unordered_set<std::string> present;
    {
      DIR* d = ::opendir(o.webdir.c_str());
      if (!d) return Fail(SystemError("cannot read the folder " + o.webdir));
      // Regular files only: what stands in a file's place is replaced (or fails).
      while (dirent* e = ::readdir(d)) {
        bool regular = e->d_type == DT_REG;
        if (e->d_type == DT_UNKNOWN) {
          struct stat st;
          regular = ::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
        }
        if (regular) present.insert(e->d_name);
      }
      ::closedir(d);
    }

    // Nothing to do when the store is as it was at the last complete
    // publication (the store only grows, so its count tells) and the
    // generated files are there.
    const std::string generation = std::to_string(filed) + " " + std::to_string(limit) + " " + kPageVersion;
    std::string published;
    if (!store->GetMeta("published", published)) return Fail(store->error());
    bool current = published == generation;
    for (const char* name : {"database.dbi", "modules.js", "browse.js", "browse.css", "index.html"})
      current = current && present.count(name) > 0;
    struct stat st;
    if (current && ::stat((o.webdir + "/database.dbi").c_str(), &st) == 0 &&
        uint64_t(st.st_size) == idx::kCountField + idx::kEntrySize * uint64_t(count))
      return true;

    // One pass over the list: the index and the browse data are written as
    // it goes; the module files and pages that are missing are written at
    // once, before the index that names them takes its place.
    std::string error;
    FileReplacement index(o.webdir, "database.dbi");
    if (!index.Open(error)) return Fail(error);
    std::string head = std::to_string(count);
    head.resize(idx::kCountField, '\0');
    if (!index.Append(head.data(), head.size(), error)) return Fail(error);
    std::string data = BrowseDataHead(filed);
    data.reserve(size_t(count) * 160 + 64);
    std::unordered_set<std::string> listed;
    listed.reserve(size_t(count));
    int64_t seen = 0;
    int written = 0;
    bool ok = store->Newest(limit, [&](const PublishedModule& p) {
      ++seen;
      listed.insert(p.serial);
      AppendBrowseRow(data, p);
      if (!index.Append(p.entry.data(), idx::kEntrySize, error)) return false;
      bool haveFile = present.count(p.serial + ".dbe") > 0, havePage = present.count(p.serial + ".html") > 0;
      if (haveFile && havePage) return true;
      std::vector<uint8_t> bytes;
      bool found = false;
      if (!store->Find(p.serial, bytes, found)) {
        error = store->error();
        return false;
      }
      if (!found || bytes.size() != mod::kFileSize) {
        error = "the store lost module " + p.serial;
        return false;
      }
      if (!haveFile) {
        if (!ReplaceFile(o.webdir, p.serial + ".dbe", bytes.data(), bytes.size(), error)) return false;
        Step();
      }
      if (!havePage) {
        ModuleRecord record;
        std::copy(bytes.begin(), bytes.end(), record.bytes.begin());
        ScrambleModule(record);
        std::string page = ModulePage(record);
        if (!ReplaceFile(o.webdir, p.serial + ".html", page.data(), page.size(), error)) return false;
        Step();
      }
      ++written;
      return true;
    });
    if (!ok) return Fail(error.empty() ? store->error() : error);
    if (seen != count) return Fail("the store changed while the folder was generated");
    if (written > 0 && !SyncDir(o.webdir, error)) return Fail(error);
    if (!index.Commit(error)) return Fail(error);
    Step();
    data += kBrowseDataTail;
    if (!WriteGenerated("modules.js", data) || !WriteGenerated("browse.js", kBrowseScript) ||
        !WriteGenerated("browse.css", kBrowseStyle) || !WriteGenerated("index.html", kBrowseHtml))
      return false;

    // What the index no longer lists goes last.
    int removed = 0;
    for (const std::string& name : present) {
      std::string serial;
      if (!IsServedModuleName(name, serial) || listed.count(serial)) continue;
      if (::unlink((o.webdir + "/" + name).c_str()) != 0) return Fail(SystemError("cannot remove " + o.webdir + "/" + name));
      ++removed;
    }
    if (removed > 0) Step();
    if (!SyncDir(o.webdir, error)) return Fail(error);
    if (!store->SetMeta("published", generation)) return Fail(store->error());
    return true;
  }
};

}  // namespace

std::string EscapeForLog(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c <= 0x20 || c >= 0x7F || c == '\\') {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02x", unsigned(c));
      out += b;
    } else {
      out += char(c);
    }
  }
  return out;
}


std::string JudgeModuleFile(const std::vector<uint8_t>& bytes, std::string& serial) {
  serial.clear();
  if (bytes.size() != mod::kFileSize) return "module attachment is not 9504 bytes";
  ModuleRecord record;
  std::copy(bytes.begin(), bytes.end(), record.bytes.begin());
  ScrambleModule(record);
  std::string_view s = ModuleSerial(record);
  if (!IsWellFormedSerial(s)) return "module serial is not well formed";
  serial = std::string(s);
  switch (CheckModule(record)) {
    case ModuleValidity::Valid: break;
    case ModuleValidity::TooOld: return "module is too old";
    case ModuleValidity::NotValid: return "module is not valid";
  }
  ModuleRecord zeroed = record;
  std::memset(zeroed.data() + mod::kSerial, 0, mod::kSerialWidth);
  if (ComputeModuleSerial(zeroed) != serial) return "module serial does not match its contents";
  return {};
}

bool RunIntake(const IntakeOptions& o, const std::function<void(const std::string&)>& log, IntakeSummary& summary) {
  summary = {};
  Run run{o, log, summary};
  std::string error;
  struct stat st;
  if (::stat(o.webdir.c_str(), &st) != 0) return run.Fail(SystemError("cannot use the web folder " + o.webdir));
  if (!S_ISDIR(st.st_mode)) return run.Fail("cannot use the web folder " + o.webdir + ": not a folder");

  // The Maildir, the web folder and the store, always in this order.
  int mailLock = TakeFolderLock(o.maildir, error);
  if (mailLock < 0) return run.Fail(error);
  int webLock = TakeFolderLock(o.webdir, error);
  if (webLock < 0) {
    ::close(mailLock);
    return run.Fail(error);
  }
  struct Unlock {
    int a, b;
    ~Unlock() {
      ::close(b);
      ::close(a);
    }
  } unlock{mailLock, webLock};

  const std::string where = o.store.empty() ? o.maildir + "/collection.sqlite" : o.store;
  std::unique_ptr<Store> store = OpenStore(where, error);
  if (!store) return run.Fail(error);
  if (!store->Lock()) return run.Fail(store->error());
  run.store = store.get();

  if (int stale = RemoveStaleTemporaries(o.webdir))
    log("removed " + std::to_string(stale) + " temporary files a stopped run left in " + EscapeForLog(o.webdir));
  if (!run.ImportServedFolder()) return false;

  const std::string rejectedDir = o.maildir + "/rejected";
  std::vector<std::string> fresh, seen;
  if (!ListMails(o.maildir + "/new", fresh, error) || !ListMails(o.maildir + "/cur", seen, error))
    return run.Fail(error);
  if (::mkdir(rejectedDir.c_str(), 0700) != 0 && errno != EEXIST)
    return run.Fail(SystemError("cannot create " + rejectedDir));

  struct Mail {
    std::string dir, name, shown;
  };
  std::vector<Mail> mails;
  for (const std::string& n : fresh) mails.push_back({"new", n, ""});
  for (const std::string& n : seen)
    if (MailFlags(n).find('S') == std::string::npos) mails.push_back({"cur", n, ""});

  bool ok = true;
  const size_t batch = std::max<size_t>(1, o.batch);
  for (size_t first = 0; first < mails.size() && ok; first += batch) {
    struct Accepted {
      const Mail* mail;
      std::string serial, shown;
      bool before;
    };
    std::vector<Accepted> accepted;
    std::map<std::string, std::vector<uint8_t>> inBatch;
    if (!store->Begin()) return run.Fail(store->error());
    for (size_t i = first; i < std::min(mails.size(), first + batch); ++i) {
      const Mail& m = mails[i];
      const std::string from = o.maildir + "/" + m.dir + "/" + m.name;
      std::string shown = m.dir + "/" + EscapeForLog(m.name);
      std::string text, serial, reason;
      std::vector<uint8_t> bytes;
      bool tooLarge = false, missing = false;
      if (!ReadNoFollow(from, kMaxMail, text, tooLarge, missing, reason)) {
        bool link = reason.find("is a symbolic link") != std::string::npos;
        if (link || reason.find("is not a regular file") != std::string::npos) {
          reason = link ? "a symbolic link, not a mail" : "not a regular file";
        } else {
          log(shown + ": cannot be read (" + reason + "); left in place");
          ++summary.failed;
          ok = false;
          continue;
        }
      } else {
        std::string sender = MailSender(text);
        shown += " from " + (sender.empty() ? std::string("(unknown)") : EscapeForLog(sender));
        if (tooLarge) reason = "mail is larger than 1 MiB";
        if (reason.empty()) reason = TakeAttachment(text, bytes);
        if (reason.empty()) reason = JudgeModuleFile(bytes, serial);
        if (reason.empty()) {
          std::vector<uint8_t> filed;
          bool found = false;
          auto b = inBatch.find(serial);
          if (b != inBatch.end()) {
            filed = b->second;
            found = true;
          } else if (!store->Find(serial, filed, found)) {
            log(shown + ": " + store->error() + "; left in place");
            ++summary.failed;
            ok = false;
            break;
          }
          if (found && filed != bytes) {
            reason = "serial " + serial + " is filed with other contents";
          } else if (found) {
            accepted.push_back({&m, serial, shown, true});
          } else {
            StoredModule sm = DescribeStoredModule(bytes);
            sm.sender = sender;
            sm.arrived = int64_t(::time(nullptr));
            if (!store->Insert(sm)) {
              log(shown + ": " + store->error() + "; left in place");
              ++summary.failed;
              ok = false;
              break;
            }
            inBatch[serial] = bytes;
            accepted.push_back({&m, serial, shown, false});
          }
        }
      }
      if (reason.empty()) continue;
      if (::rename(from.c_str(), (rejectedDir + "/" + m.name).c_str()) != 0) {
        log(shown + ": rejected: " + reason + "; " + SystemError("cannot be moved to rejected/"));
        ++summary.failed;
        ok = false;
        continue;
      }
      log(shown + ": rejected: " + reason);
      ++summary.rejected;
      run.Step();
    }
    run.Step();
    if (!ok || !store->Commit()) {
      if (ok) log("error: " + store->error());
      store->Rollback();
      for (const Accepted& a : accepted) log(a.shown + ": module " + a.serial + " not filed; left in place");
      summary.failed += int(accepted.size());
      ok = false;
      break;
    }
    run.Step();
    // Filed: now the mails may move.
    for (const Accepted& a : accepted) {
      const Mail& m = *a.mail;
      std::string flags = MailFlags(m.name) + "S";
      std::sort(flags.begin(), flags.end());
      const std::string from = o.maildir + "/" + m.dir + "/" + m.name;
      const std::string to = o.maildir + "/cur/" + MailBase(m.name) + ":2," + flags;
      const std::string what = a.shown + ": accepted " + a.serial + (a.before ? " (filed before)" : "");
      if (::rename(from.c_str(), to.c_str()) != 0) {
        log(what + "; " + SystemError("cannot be marked seen in cur/"));
        ok = false;
      } else {
        log(what);
      }
      ++summary.accepted;
      run.Step();
    }
  }
  return run.Publish() && ok;
}

bool RunIntake(const std::string& maildir, const std::string& webdir,
               const std::function<void(const std::string&)>& log, IntakeSummary& summary) {
  IntakeOptions o;
  o.maildir = maildir;
  o.webdir = webdir;
  return RunIntake(o, log, summary);
}

}  // namespace kr
