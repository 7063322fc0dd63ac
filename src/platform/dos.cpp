#include "platform/dos.h"

#include <cstdio>

namespace kr {

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
    out.clear();
    return false;
  }
  return true;
}

bool Dos::WriteFileAtomic(std::string_view path, const void* data, size_t len) {
  std::string tmp = std::string(path) + ".new";
  int64_t fh = Open(tmp, MODE_NEWFILE);
  if (fh == 0) return false;
  bool ok = Write(fh, data, int64_t(len)) == int64_t(len);
  ok = Close(fh) && ok;
  if (!ok || !Rename(tmp, path)) {
    DeleteFile(tmp);
    return false;
  }
  return true;
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
