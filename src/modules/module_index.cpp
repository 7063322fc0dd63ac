#include "modules/module_index.h"

#include <cerrno>
#include <cstring>
#include <functional>

#include "util/numtext.h"

namespace kr {

IndexEntry MakeIndexEntry(const ModuleRecord& m) {
  IndexEntry e;
  e.setPosition(-1);
  for (const idx::Copy& c : idx::kCopies) e.set_text(c.entry, c.width, m.text(c.module, c.width));
  for (size_t g = 0; g < 4; ++g) {
    size_t group = mod::kHardware + mod::kHardwareGroupSize * g;
    std::string_view vendor = m.text(group + mod::kHardwareVendor, mod::kHardwareTextWidth);
    std::string_view model = m.text(group + mod::kHardwareModel, mod::kHardwareTextWidth);
    if (vendor == "Other" || model == "Other") {
      vendor = model = m.text(group + mod::kHardwareOther, mod::kHardwareTextWidth);
    }
    size_t at = idx::kHardware + idx::kHardwareGroupSize * g;
    e.set_text(at, 32, vendor);
    e.set_text(at + 32, 32, model);
  }
  return e;
}

std::vector<uint8_t> IndexBytes(const std::vector<IndexEntry>& entries) {
  std::vector<uint8_t> out(idx::kCountField + idx::kEntrySize * entries.size(), 0);
  std::string count = Format("%ld", long(entries.size()));
  std::memcpy(out.data(), count.data(), std::min(count.size(), idx::kCountField - 1));
  for (size_t i = 0; i < entries.size(); ++i)
    std::memcpy(out.data() + idx::kCountField + idx::kEntrySize * i, entries[i].data(), idx::kEntrySize);
  return out;
}

namespace {

// The common reading rule over a source that hands out bytes in order
// (read(buffer, n) returns how many it gave).
IndexRead ReadEntries(const std::function<size_t(uint8_t*, size_t)>& read) {
  IndexRead out;
  uint8_t countField[idx::kCountField]{};
  size_t got = read(countField, idx::kCountField);
  if (got < idx::kCountField) {
    out.error = "the index is shorter than its count field";
    return out;
  }
  std::string_view count(reinterpret_cast<const char*>(countField), got);
  count = count.substr(0, count.find('\0'));
  long n = 0;
  if (StrToLong(count, n) < 0 || n < 0) {
    out.error = "the index's count field is not a number of entries";
    return out;
  }
  for (long i = 0; i < n; ++i) {
    IndexEntry e;
    if (read(e.data(), idx::kEntrySize) != idx::kEntrySize) break;
    if (!IsWellFormedSerial(e.serial())) {
      ++out.skipped;
      continue;
    }
    out.entries.push_back(e);
  }
  return out;
}

}  // namespace

IndexRead ParseIndex(const uint8_t* data, size_t size) {
  size_t at = 0;
  return ReadEntries([&](uint8_t* buf, size_t n) {
    size_t k = std::min(n, size - at);
    if (k) std::memcpy(buf, data + at, k);
    at += k;
    return k;
  });
}

IndexRead ReadIndexFile(Dos& dos, std::string_view path, bool& opened) {
  opened = false;
  IndexRead out;
  // Only a regular file is read (a pipe there would block the start).
  if (dos.FileSize(path) < 0) {
    if (dos.LastError().code != ENOENT) out.error = dos.LastErrorText();
    return out;
  }
  int64_t fh = dos.Open(path, MODE_OLDFILE);
  if (fh == 0) {
    // Only an index that is not there is an empty one.
    if (dos.LastError().code != ENOENT) out.error = dos.LastErrorText();
    return out;
  }
  opened = true;
  bool failed = false;
  out = ReadEntries([&](uint8_t* buf, size_t n) {
    size_t got = 0;
    while (got < n && !failed) {
      int64_t k = dos.Read(fh, buf + got, int64_t(n - got));
      failed = k < 0;
      if (k <= 0) break;
      got += size_t(k);
    }
    return got;
  });
  if (failed) out.error = dos.LastErrorText();
  dos.Close(fh);
  if (!out.error.empty()) out.entries.clear();
  return out;
}

}  // namespace kr
