#include "engine/home_files.h"

#include <cstdio>

namespace kr {
namespace {
constexpr std::string_view kBenchFolder = "KelvaRANK_bench/";
}  // namespace

int64_t DataFileSize(int k) { return int64_t(128) << k; }

std::string DataFileName(int k) {
  char name[24];
  std::snprintf(name, sizeof name, "%07lld.bin", static_cast<long long>(DataFileSize(k)));
  return name;
}

void FillDataBytes(uint8_t* buf, size_t size, uint32_t seed) {
  // state <- state * 1103515245 + 12345 (mod 2^32); r = state mod (2^31 - 1).
  // With state = hi * 2^31 + lo and 2^31 = 1 (mod 2^31 - 1), r is lo + hi,
  // less the modulus in the two cases where that reaches it: no division
  // and no unpredictable branch per byte.
  constexpr uint32_t kModulus = 2147483647u;
  uint32_t s = seed;
  for (size_t i = 0; i < size; ++i) {
    s = s * 1103515245u + 12345u;
    uint32_t r = (s & kModulus) + (s >> 31);
    if (r >= kModulus) [[unlikely]]
      r -= kModulus;
    buf[i] = uint8_t(32 + r % 94);
  }
}

std::string BenchDirOfDrivePath(std::string_view drivePath) {
  std::string dir(drivePath);
  if (dir.empty() || (dir.back() != ':' && dir.back() != '/')) dir += ':';
  dir += kBenchFolder;
  return dir;
}

bool WritePidFile(Context& ctx) {
  std::string_view path = RunSettings(ctx).partition();
  int64_t fh = ctx.dos.Open(kPidFile, MODE_NEWFILE);
  if (fh == 0) return false;
  bool ok = ctx.dos.Write(fh, path.data(), int64_t(path.size())) == int64_t(path.size());
  return ctx.dos.Close(fh) && ok;
}

bool DeletePidFile(Context& ctx) { return ctx.dos.DeleteFile(kPidFile); }
}  // namespace kr
