#include "intake/intake.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "util/md5.h"
#include "intake/mime.h"
#include "modules/module_index.h"
#include "modules/module_record.h"
#include "net/base64.h"

namespace kr {

namespace {

constexpr size_t kMaxMail = 1 << 20;  // a mail with one module is about 14 KB

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

bool ReadFile(const std::string& path, size_t limit, std::string& out, bool& tooLarge) {
  tooLarge = false;
  out.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    if (out.size() + size_t(n) > limit) {
      tooLarge = true;
      break;
    }
    out.append(buf, size_t(n));
  }
  ::close(fd);
  return true;
}

// A new file beside the target, flushed to disk, renamed over it, and the
// directory flushed: the target is either the old file or the whole new one.
bool WriteAtomic(const std::string& dir, const std::string& name, const void* data, size_t len) {
  std::string target = dir + "/" + name;
  std::string tmp = dir + "/." + name + "." + std::to_string(::getpid()) + ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const char* p = static_cast<const char*>(data);
  size_t left = len;
  bool ok = true;
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    p += n;
    left -= size_t(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(tmp.c_str(), target.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

// Plain files of a directory, names not starting with ".", sorted.
bool ListMails(const std::string& dir, std::vector<std::string>& names) {
  names.clear();
  DIR* d = ::opendir(dir.c_str());
  if (!d) return false;
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.') continue;
    struct stat st;
    if (::stat((dir + "/" + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.emplace_back(e->d_name);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  return true;
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

}  // namespace

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

bool RunIntake(const std::string& maildir, const std::string& webdir,
               const std::function<void(const std::string&)>& log, IntakeSummary& summary) {
  summary = {};
  const std::string rejectedDir = maildir + "/rejected";
  std::vector<std::string> fresh, seen;
  if (!ListMails(maildir + "/new", fresh) || !ListMails(maildir + "/cur", seen)) {
    log("cannot read the Maildir " + maildir + " (new/ and cur/ are needed)");
    return false;
  }
  struct stat st;
  if (::stat(webdir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    log("cannot use the web directory " + webdir);
    return false;
  }
  if (::mkdir(rejectedDir.c_str(), 0700) != 0 && errno != EEXIST) {
    log("cannot create " + rejectedDir);
    return false;
  }

  // The index as it stands; a missing one starts empty.
  std::vector<IndexEntry> entries;
  std::string indexText;
  bool tooLarge = false;
  if (ReadFile(webdir + "/database.dbi", SIZE_MAX, indexText, tooLarge)) {
    entries = ParseIndex(reinterpret_cast<const uint8_t*>(indexText.data()), indexText.size()).entries;
  }
  std::set<std::string> filed;
  for (const IndexEntry& e : entries) filed.insert(std::string(e.serial()));

  struct Mail {
    std::string dir, name;
  };
  std::vector<Mail> mails;
  for (const std::string& n : fresh) mails.push_back({"new", n});
  for (const std::string& n : seen)
    if (MailFlags(n).find('S') == std::string::npos) mails.push_back({"cur", n});

  bool ok = true;
  for (const Mail& m : mails) {
    const std::string from = maildir + "/" + m.dir + "/" + m.name;
    const std::string shown = m.dir + "/" + m.name;
    std::string text, serial, reason;
    std::vector<uint8_t> bytes;
    if (!ReadFile(from, kMaxMail, text, tooLarge)) {
      log(shown + ": cannot be read; left in place");
      ++summary.failed;
      ok = false;
      continue;
    }
    if (tooLarge) reason = "mail is larger than 1 MiB";
    if (reason.empty()) reason = TakeAttachment(text, bytes);
    if (reason.empty()) reason = JudgeModuleFile(bytes, serial);
    if (reason.empty() && filed.count(serial)) reason = "serial " + serial + " is already filed";

    if (!reason.empty()) {
      if (::rename(from.c_str(), (rejectedDir + "/" + m.name).c_str()) != 0) {
        log(shown + ": rejected: " + reason + "; cannot be moved to rejected/");
        ++summary.failed;
        ok = false;
        continue;
      }
      log(shown + ": rejected: " + reason);
      ++summary.rejected;
      continue;
    }
    // File the module, then the index that names it, then move the mail.
    ModuleRecord record;
    std::copy(bytes.begin(), bytes.end(), record.bytes.begin());
    ScrambleModule(record);
    entries.push_back(MakeIndexEntry(record));
    std::vector<uint8_t> index = IndexBytes(entries);
    bool moduleWritten = WriteAtomic(webdir, serial + ".dbe", bytes.data(), bytes.size());
    if (!moduleWritten || !WriteAtomic(webdir, "database.dbi", index.data(), index.size())) {
      // The serial is not in the index, so no file of that name belongs here.
      if (moduleWritten) ::unlink((webdir + "/" + serial + ".dbe").c_str());
      entries.pop_back();
      log(shown + ": module " + serial + " cannot be written to " + webdir + "; left in place");
      ++summary.failed;
      ok = false;
      continue;
    }
    filed.insert(serial);
    const std::string to = maildir + "/cur/" + MailBase(m.name) + ":2," + [&] {
      std::string flags = MailFlags(m.name) + "S";
      std::sort(flags.begin(), flags.end());
      return flags;
    }();
    if (::rename(from.c_str(), to.c_str()) != 0) {
      log(shown + ": accepted " + serial + "; cannot be marked seen in cur/");
      ok = false;
    } else {
      log(shown + ": accepted " + serial);
    }
    ++summary.accepted;
  }
  return ok;
}

}  // namespace kr
