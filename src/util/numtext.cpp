#include "util/numtext.h"

#include <cstdarg>
#include <cstdio>

namespace kr {

uint32_t TruncToU32(double v) {
  if (!(v > 0.0)) return 0;  // negatives and NaN show as 0
  if (v >= 4294967296.0) return 0xFFFFFFFFu;
  if (v >= 2147483648.0) return uint32_t(int64_t(v - 2147483648.0)) | 0x80000000u;
  return uint32_t(v);
}

FixedSplit SplitFixed(double value, uint32_t scale) {
  uint32_t whole = TruncToU32(value);
  uint32_t frac = TruncToU32((value - double(whole)) * double(scale));
  if (frac >= scale) frac = scale - 1;
  return {whole, frac};
}

std::string FixedText(double value, uint32_t scale) {
  FixedSplit s = SplitFixed(value, scale);
  return Format(scale == 10 ? "%u.%01u" : "%u.%02u", s.whole, s.frac);
}

int StrToLong(std::string_view s, long& value) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  size_t digits = i;
  long v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    if (v < 100000000L) v = v * 10 + (s[i] - '0');
    ++i;
  }
  if (i == digits) return -1;
  value = negative ? -v : v;
  return int(i);
}

std::string Format(const char* fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  if (n < 0) return {};
  if (size_t(n) < sizeof buf) return std::string(buf, size_t(n));
  std::string out(size_t(n) + 1, '\0');
  va_start(ap, fmt);
  std::vsnprintf(out.data(), out.size(), fmt, ap);
  va_end(ap);
  out.resize(size_t(n));
  return out;
}

std::string SizeText(uint64_t bytes) {
  // Seven groups of three decimal digits, g[0] (units of 10^18) .. g[6] (units).
  static constexpr char kUnit[7] = {0, 0, 'T', 'G', 'M', 'K', 0};
  uint64_t g[7];
  uint64_t v = bytes;
  for (int k = 6; k >= 0; --k) {
    g[k] = v % 1000;
    v /= 1000;
  }
  std::string out;
  bool printed = false;
  for (int k = 0; k <= 5; ++k) {
    if (!printed && g[k] == 0) continue;
    out += Format(printed ? "%03lu" : "%lu", (unsigned long)g[k]);
    printed = true;
    out += '.';
    if (kUnit[k] != 0) {
      out += char('0' + g[k + 1] / 100);
      out += kUnit[k];
      return out;
    }
  }
  out += Format(printed ? "%03lu" : "%lu", (unsigned long)g[6]);
  return out;
}

}  // namespace kr
