#include "platform/dos.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace kr {
namespace {

// 16 hex digits no other process or earlier call is likely to pick (the
// process id is mixed in, so forked children part ways); the files are
// created exclusively, so a clash only costs another try.
std::string UniquePart() {
  static std::atomic<uint64_t> counter{0};
  static const uint64_t seed = [] {
    std::random_device rd;
    return (uint64_t(rd()) << 32) ^ rd();
  }();
  uint64_t x = (seed ^ (uint64_t(::getpid()) << 40)) + 0x9E3779B97F4A7C15ull * (counter.fetch_add(1) + 1);
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  char buf[20];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(x));
  return buf;
}

constexpr int kUniqueTries = 16;

}  // namespace

std::string DosDirPart(std::string_view path) {
  size_t cut = path.find_last_of("/:");
  if (cut == std::string_view::npos) return ".";
  if (path[cut] == ':') return std::string(path.substr(0, cut + 1));
  return cut == 0 ? "/" : std::string(path.substr(0, cut));
}

std::string Dos::LastErrorReason() const {
  const DosError& e = lastError_;
  if (e.call.empty()) return {};
  return !e.note.empty() ? e.note : e.code ? std::strerror(e.code) : "failed";
}

std::string Dos::LastErrorText() const {
  const DosError& e = lastError_;
  if (e.call.empty()) return {};
  return e.call + " " + (e.path.empty() ? "(no RAM folder)" : e.path) + ": " + LastErrorReason();
}

bool Dos::Fail(std::string_view call, std::string path, int code, std::string note) {
  lastError_ = DosError{std::string(call), std::move(path), code, std::move(note)};
  return false;
}

bool Dos::ReadWholeFile(std::string_view path, std::vector<uint8_t>& out) {
  out.clear();
  int64_t size = FileSize(path);
  if (size < 0) return false;
  int64_t fh = Open(path, MODE_OLDFILE);
  if (fh == 0) return false;
  out.resize(size_t(size));
  int64_t got = size ? Read(fh, out.data(), size) : 0;
  Close(fh);
  if (got != size) {
    if (got >= 0) Fail("read", HostPath(path), 0, "the file changed while it was read");
    out.clear();
    return false;
  }
  return true;
}

bool Dos::WriteFileAtomic(std::string_view path, const void* data, size_t len) {
  const std::string target(path);
  if (!CheckOutputTarget(target)) return false;
  std::string tmp;
  int64_t fh = 0;
  for (int i = 0; i < kUniqueTries && fh == 0; ++i) {
    tmp = target + "." + UniquePart() + ".new";
    fh = CreateNew(tmp);
    if (fh == 0 && LastError().code != EEXIST) break;
  }
  if (fh == 0) {
    DosError failed = LastError();
    return Fail(failed.call, HostPath(target), failed.code, failed.note);
  }
  bool ok = SetModeLike(fh, target) && Write(fh, data, int64_t(len)) == int64_t(len) && Sync(fh);
  ok = Close(fh) && ok;
  ok = ok && Rename(tmp, target);
  if (!ok) {
    // The error of the failed step is the one to tell, under the target's name.
    DosError failed = LastError();
    DeleteFile(tmp);
    Fail(failed.call, HostPath(target), failed.code, failed.note);
    return false;
  }
  // The rename is done; a folder that cannot be forced only weakens the
  // guarantee against a power loss, so it is not a failed save.
  (void)SyncDir(DosDirPart(target));
  return true;
}

bool Dos::IsTemporaryName(std::string_view name) {
  std::string_view ext = name.ends_with(".new") ? ".new" : name.ends_with(".part") ? ".part" : "";
  if (ext.empty() || name.size() < ext.size() + 18) return false;
  std::string_view unique = name.substr(name.size() - ext.size() - 16, 16);
  if (name[name.size() - ext.size() - 17] != '.') return false;
  for (char c : unique)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

std::string Dos::ScratchFile(std::string_view stem, std::string_view ext) {
  for (int i = 0; i < kUniqueTries; ++i) {
    std::string name = "RAM:" + std::string(stem) + "_" + UniquePart() + std::string(ext);
    if (int64_t fh = CreateNew(name)) {
      if (Close(fh)) return name;
      DeleteFile(name);
      return {};
    }
    if (LastError().code != EEXIST) return {};
  }
  return {};
}

DateStrings DateToStr(const DateStamp& ds) {
  // Days since 1978-01-01 to a civil date (proleptic Gregorian).
  int64_t z = int64_t(ds.days) + 2922 + 719468;  // 1978-01-01 is 2922 days after 1970-01-01
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  char date[40], time[40];
  std::snprintf(date, sizeof date, "%02d-%02d-%02d", int(d), int(m), int(((y % 100) + 100) % 100));
  int h = ds.minute / 60, mi = ds.minute % 60, s = ds.tick / 50;
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", h % 100, mi, s % 100);
  return {date, time};
}

}  // namespace kr
