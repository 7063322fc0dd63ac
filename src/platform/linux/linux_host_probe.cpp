#include "platform/linux/linux_host_probe.h"

#include <sys/utsname.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/host_probe.h"
#include "util/bytes.h"
#include "util/numtext.h"
#include "util/words.h"

namespace kr {
namespace {

constexpr size_t kTextMax = 31;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualNoCase(s.substr(0, prefix.size()), prefix);
}

std::string JoinWords(const std::vector<std::string_view>& words) {
  std::string out;
  for (std::string_view w : words) {
    if (!out.empty()) out += ' ';
    out += w;
  }
  return out;
}

// Removes every occurrence of token from s.
void Erase(std::string& s, std::string_view token) {
  for (size_t at; (at = s.find(token)) != std::string::npos;) s.erase(at, token.size());
}

// The value of the first "key : value" line of a /proc/cpuinfo text.
std::string CpuInfoValue(std::string_view text, std::string_view key) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = line.substr(0, colon);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    if (name != key) continue;
    std::string value = ToRecordText(line.substr(colon + 1));
    if (!value.empty()) return value;
  }
  return {};
}

bool HasWord(std::string_view words, std::string_view word) {
  for (std::string_view w : SplitWords(words))
    if (w == word) return true;
  return false;
}

// "Intel(R) Core(TM) i7-8650U CPU @ 1.90GHz" -> "Intel Core i7-8650U 1.90GHz";
// the clock goes first, then the tail, when the name is too long.
std::string ShortProcessorName(std::string name) {
  for (std::string_view t : {"(R)", "(r)", "(TM)", "(tm)", "(C)"}) Erase(name, t);
  size_t with = name.find(" with ");
  if (with != std::string::npos) name.erase(with);
  std::vector<std::string_view> kept;
  for (std::string_view w : SplitWords(name)) {
    if (w == "CPU" || w == "Processor" || w == "processor" || w == "@") continue;
    kept.push_back(w);
  }
  std::string text = JoinWords(kept);
  if (text.size() > kTextMax && !kept.empty()) {
    std::string_view last = kept.back();
    if (last.size() > 3 && (last.ends_with("GHz") || last.ends_with("MHz"))) {
      kept.pop_back();
      text = JoinWords(kept);
    }
  }
  if (text.size() > kTextMax) text.resize(kTextMax);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// Arm cores by implementer and part number, for kernels whose cpuinfo has no
// model name.
struct ArmCore {
  unsigned implementer, part;
  const char* name;
};
constexpr ArmCore kArmCores[] = {
    {0x41, 0xd03, "ARM Cortex-A53"},     {0x41, 0xd04, "ARM Cortex-A35"},     {0x41, 0xd05, "ARM Cortex-A55"},
    {0x41, 0xd07, "ARM Cortex-A57"},     {0x41, 0xd08, "ARM Cortex-A72"},     {0x41, 0xd09, "ARM Cortex-A73"},
    {0x41, 0xd0a, "ARM Cortex-A75"},     {0x41, 0xd0b, "ARM Cortex-A76"},     {0x41, 0xd0c, "ARM Neoverse-N1"},
    {0x41, 0xd0d, "ARM Cortex-A77"},     {0x41, 0xd40, "ARM Neoverse-V1"},    {0x41, 0xd41, "ARM Cortex-A78"},
    {0x41, 0xd46, "ARM Cortex-A510"},    {0x41, 0xd47, "ARM Cortex-A710"},    {0x41, 0xd49, "ARM Neoverse-N2"},
    {0x41, 0xd4f, "ARM Neoverse-V2"},    {0x41, 0xd80, "ARM Cortex-A520"},    {0x41, 0xd81, "ARM Cortex-A720"},
};

std::string ArmCoreName(std::string_view cpuinfo) {
  std::string impl = CpuInfoValue(cpuinfo, "CPU implementer");
  std::string part = CpuInfoValue(cpuinfo, "CPU part");
  if (impl.empty() || part.empty()) return {};
  unsigned i = unsigned(std::strtoul(impl.c_str(), nullptr, 0));
  unsigned p = unsigned(std::strtoul(part.c_str(), nullptr, 0));
  for (const ArmCore& c : kArmCores)
    if (c.implementer == i && c.part == p) return c.name;
  return Format("Arm core %#x/%#x", i, p);
}

bool IsPlaceholder(std::string_view s) {
  static constexpr std::string_view kPlaceholders[] = {
      "To Be Filled By O.E.M.", "To be filled by O.E.M.", "System Product Name", "System manufacturer",
      "System Manufacturer",    "System Version",         "Default string",      "Not Applicable",
      "Not Specified",          "None",                   "O.E.M.",              "OEM",
      "Unknown",                "Type1ProductConfigId",   "All Series",          "Undefined",
      "x.x",                    "0123456789",             "123456789",           "Base Board Product Name"};
  if (s.empty()) return true;
  for (std::string_view p : kPlaceholders)
    if (EqualNoCase(s, p)) return true;
  return false;
}

// "ASUSTeK COMPUTER INC." -> "ASUSTeK", "Dell Inc." -> "Dell".
std::string ShortVendor(std::string_view vendor) {
  static constexpr std::string_view kSuffixes[] = {"Inc.",   "Inc",        "INC.",    "INC",  "Corporation", "Corp.",
                                                   "Corp",   "Co.,",       "Co.",     "Ltd.", "Ltd",         "LTD.",
                                                   "LTD",    "COMPUTER",   "Computer", "GmbH", "AG",          "S.A.",
                                                   "Limited", "Technology", "International"};
  std::vector<std::string_view> words = SplitWords(vendor);
  while (words.size() > 1) {
    std::string_view last = words.back();
    while (!last.empty() && last.back() == ',') last.remove_suffix(1);
    bool suffix = false;
    for (std::string_view s : kSuffixes)
      if (last == s || (s.back() == ',' && last == s.substr(0, s.size() - 1))) suffix = true;
    if (!suffix) break;
    words.pop_back();
  }
  std::string out = JoinWords(words);
  while (!out.empty() && out.back() == ',') out.pop_back();
  return out;
}

// Undoes os-release quoting: "...", '...' and backslash escapes.
std::string Unquote(std::string_view v) {
  std::string out;
  char quote = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    char c = v[i];
    if (quote == 0 && (c == '"' || c == '\'')) {
      quote = c;
    } else if (quote != 0 && c == quote) {
      quote = 0;
    } else if (c == '\\' && quote != '\'' && i + 1 < v.size()) {
      out += v[++i];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string ToRecordText(std::string_view utf8) {
  std::string out;
  auto put = [&out](unsigned c) {
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) c = ' ';
    if (c > 0xFF) c = '?';
    if (c == ' ' && (out.empty() || out.back() == ' ')) return;
    out += char(c);
  };
  for (size_t i = 0; i < utf8.size();) {
    unsigned char b = uint8_t(utf8[i]);
    size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    bool valid = n > 0 && i + n <= utf8.size();
    unsigned c = n == 1 ? b : n == 2 ? (b & 0x1Fu) : n == 3 ? (b & 0x0Fu) : (b & 0x07u);
    for (size_t k = 1; valid && k < n; ++k) {
      unsigned char t = uint8_t(utf8[i + k]);
      if ((t & 0xC0) != 0x80) valid = false;
      c = (c << 6) | (t & 0x3Fu);
    }
    if (!valid) {
      put('?');
      ++i;
      continue;
    }
    put(c);
    i += n;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string OsReleaseName(std::string_view osRelease) {
  std::string pretty, name, version;
  size_t pos = 0;
  while (pos < osRelease.size()) {
    size_t end = osRelease.find('\n', pos);
    if (end == std::string_view::npos) end = osRelease.size();
    std::string_view line = osRelease.substr(pos, end - pos);
    pos = end + 1;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || line.starts_with("#")) continue;
    std::string_view key = line.substr(0, eq);
    std::string value = ToRecordText(Unquote(line.substr(eq + 1)));
    if (key == "PRETTY_NAME") pretty = value;
    else if (key == "NAME") name = value;
    else if (key == "VERSION") version = value;
  }
  if (!pretty.empty()) return pretty;
  if (!name.empty() && !version.empty()) return name + " " + version;
  if (!name.empty()) return name;
  return "Linux";
}

ProcessorNames ProcessorNamesFromCpuInfo(std::string_view cpuinfo, std::string_view arch) {
  ProcessorNames p;
  bool x86 = arch == "x86_64" || arch == "i386" || arch == "i486" || arch == "i586" || arch == "i686";
  bool arm64 = arch == "aarch64" || arch == "arm64";

  std::string model;
  for (std::string_view key : {"model name", "cpu model", "uarch", "cpu", "Processor"}) {
    model = CpuInfoValue(cpuinfo, key);
    if (!model.empty()) break;
  }
  if (model.empty() && arm64) model = ArmCoreName(cpuinfo);
  p.cpu = ShortProcessorName(model);

  const char* unit = nullptr;
  if (x86) {
    std::string flags = CpuInfoValue(cpuinfo, "flags");
    bool x87 = HasWord(flags, "fpu");
    if (HasWord(flags, "avx512f")) unit = "x87/AVX-512";
    else if (HasWord(flags, "avx2")) unit = "x87/AVX2";
    else if (HasWord(flags, "avx")) unit = "x87/AVX";
    else if (HasWord(flags, "sse4_2")) unit = "x87/SSE4.2";
    else if (HasWord(flags, "sse2")) unit = "x87/SSE2";
    else if (x87) unit = "x87";
    if (!flags.empty() && !unit) p.fpu = "None";
    std::string sizes = CpuInfoValue(cpuinfo, "address sizes");
    size_t comma = sizes.find(',');
    long virtualBits = comma == std::string::npos ? 0 : std::strtol(sizes.c_str() + comma + 1, nullptr, 10);
    const char* isa = arch == "x86_64" ? "x86-64" : "x86";
    p.mmu = virtualBits > 0 ? Format("%s %ld-bit [Hardware/Intern]", isa, virtualBits)
                            : Format("%s [Hardware/Intern]", isa);
  } else if (arm64) {
    std::string features = CpuInfoValue(cpuinfo, "Features");
    if (HasWord(features, "sve")) unit = "FP/SVE";
    else if (HasWord(features, "asimd")) unit = "FP/ASIMD";
    else if (HasWord(features, "fp")) unit = "FP";
    p.mmu = "AArch64 [Hardware/Intern]";
  } else if (!arch.empty() && arch.size() <= 12) {
    p.mmu = std::string(arch) + " [Hardware/Intern]";
  }
  if (unit) p.fpu = std::string(unit) + " [Hardware/Intern]";
  return p;
}

std::string MachineNameFromFirmware(const FirmwareIds& ids) {
  std::string vendor = ToRecordText(ids.sysVendor);
  std::string product = ToRecordText(ids.productName);
  std::string version = ToRecordText(ids.productVersion);
  if (IsPlaceholder(vendor)) vendor.clear();
  if (IsPlaceholder(product)) product.clear();
  // Lenovo keeps the type number as the product and the model as the version.
  if (EqualNoCase(vendor, "LENOVO") && !IsPlaceholder(version)) product = version;
  if (product.empty()) {
    std::string boardVendor = ToRecordText(ids.boardVendor);
    std::string boardName = ToRecordText(ids.boardName);
    if (!IsPlaceholder(boardName)) {
      product = boardName;
      if (!IsPlaceholder(boardVendor)) vendor = boardVendor;
    }
  }
  if (product.empty()) return {};
  vendor = ShortVendor(vendor);
  std::string name = (vendor.empty() || StartsWithNoCase(product, vendor)) ? product : vendor + " " + product;
  return CutIdentification(name);
}

std::string LinuxHostProbe::ReadHostFile(const char* path, size_t limit) const {
  std::string text;
  FILE* f = std::fopen((root_ + path).c_str(), "rb");
  if (!f) return text;
  char buf[4096];
  size_t n;
  while (text.size() < limit && (n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  std::fclose(f);
  if (text.size() > limit) text.resize(limit);
  return text;
}

std::string LinuxHostProbe::MachineArch() const {
  if (!root_.empty()) return ToRecordText(ReadHostFile("/proc/sys/kernel/arch", 64));
  utsname u{};
  return uname(&u) == 0 ? std::string(u.machine) : std::string();
}

VersionPair LinuxHostProbe::RomVersion() {
  const uint8_t* rom = exec_.RomBase();
  if (!rom || exec_.RomSize() < 16) return {};
  return {GetU16(rom + 12), GetU16(rom + 14)};
}

std::optional<ProcessorNames> LinuxHostProbe::ProcessorIdentification() {
  std::string cpuinfo = ReadHostFile("/proc/cpuinfo");
  if (cpuinfo.empty()) return std::nullopt;
  return ProcessorNamesFromCpuInfo(cpuinfo, MachineArch());
}

std::optional<std::string> LinuxHostProbe::SystemRelease() {
  std::string text = ReadHostFile("/etc/os-release", 64 * 1024);
  if (text.empty()) text = ReadHostFile("/usr/lib/os-release", 64 * 1024);
  return OsReleaseName(text);
}

std::optional<std::string> LinuxHostProbe::KernelRelease() {
  std::string release = ToRecordText(ReadHostFile("/proc/sys/kernel/osrelease", 256));
  if (release.empty() && root_.empty()) {
    utsname u{};
    if (uname(&u) == 0) release = ToRecordText(u.release);
  }
  if (release.empty()) return std::nullopt;
  if (release.size() > kTextMax) release.resize(kTextMax);
  return release;
}

std::optional<std::string> LinuxHostProbe::MachineName() {
  FirmwareIds ids;
  ids.sysVendor = ReadHostFile("/sys/class/dmi/id/sys_vendor", 256);
  ids.productName = ReadHostFile("/sys/class/dmi/id/product_name", 256);
  ids.productVersion = ReadHostFile("/sys/class/dmi/id/product_version", 256);
  ids.boardVendor = ReadHostFile("/sys/class/dmi/id/board_vendor", 256);
  ids.boardName = ReadHostFile("/sys/class/dmi/id/board_name", 256);
  std::string name = MachineNameFromFirmware(ids);
  if (name.empty()) name = CutIdentification(ToRecordText(ReadHostFile("/proc/device-tree/model", 256)));
  if (name.empty()) {
    // Without firmware names a guest still knows it is one.
    std::string flags = CpuInfoValue(ReadHostFile("/proc/cpuinfo"), "flags");
    name = HasWord(flags, "hypervisor") ? "Virtual Machine" : "Unknown";
  }
  return name;
}

}  // namespace kr
