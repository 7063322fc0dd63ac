// A context with a user's settings, host texts and drive information, as a
// module is made from them, and small file helpers over its home.
#pragma once

#include <sys/utsname.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run/sections.h"
#include "modules/module_base.h"
#include "support/host_files.h"
#include "support/test_context.h"

namespace kr::test {

// The scrambler's keystream, computed here from the generator's definition.
inline uint8_t KeyByte(size_t i) {
  uint32_t state = uint32_t(5318 + i) * 1103515245u + 12345u;
  return uint8_t((state % 2147483647u) % 255u);
}

inline std::vector<uint8_t> Unscrambled(std::vector<uint8_t> bytes) {
  for (size_t i = 0; i + 1 < bytes.size() && i < 9503; ++i) bytes[i] ^= KeyByte(i);
  return bytes;
}


// The text of a fixed-width field: up to its first NUL.
inline std::string TextAt(const std::vector<uint8_t>& r, size_t offset, size_t width) {
  size_t n = 0;
  while (n < width && r[offset + n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(r.data()) + offset, n);
}

inline std::string HostMachine() {
  utsname u{};
  return uname(&u) == 0 ? u.machine : "";
}

// A classic host (no emulation flags), a filled profile and a drive.
struct ModuleContext : TestContext {
  explicit ModuleContext(const std::string& user = "Tester") {
    ctx.run.noChipMemory = 0;
    SettingsRecord& s = ctx.settings;
    s.set_text(cfg::kUserName, cfg::kNameWidth, user);
    s.set_text(cfg::kRealName, cfg::kNameWidth, "Real Name");
    s.set_text(cfg::kLocation, cfg::kNameWidth, "Somewhere");
    s.set_text(cfg::kEmail, cfg::kEmailWidth, "tester@example.org");
    s.set_text(cfg::kHomepage, cfg::kPathWidth, "http://example.org/");
    s.setModuleComment("A module of the test suite.");
    s.set_s32(cfg::kMainVendor, 10);  // "Micronik"
    s.set_s32(cfg::kMainModel, 1);    // "A4000 Tower"
    s.set_s32(cfg::kBusVendor, 9);    // "None"
    s.set_s32(cfg::kAccelVendor, 16); // "Other"
    s.set_text(cfg::kAccelOther, cfg::kOtherWidth, "HomeBrew 060");
    ctx.sysinfo.setField(sysrec::kCpu, "Test CPU 3.0GHz");
    ctx.sysinfo.setField(sysrec::kFpu, "x87/AVX2 [Hardware/Intern]");
    ctx.sysinfo.setField(sysrec::kTotalFast, "17179.86 MB");
    ctx.sysinfo.setField(sysrec::kTotalChip, "Not avail");
    ctx.sysinfo.setField(sysrec::kOs, "Debian GNU/Linux 12");
    ctx.sysinfo.setField(sysrec::kKs, "6.1.0-18-amd64");
    ctx.sysinfo.setField(sysrec::kWb, "Not avail");
    DriveInfo& d = ctx.driveInfo;
    std::snprintf(d.vendor, sizeof d.vendor, "ATA");
    std::snprintf(d.product, sizeof d.product, "Test Disk 1000");
    std::snprintf(d.revision, sizeof d.revision, "1.0");
    std::snprintf(d.deviceName, sizeof d.deviceName, "/dev/sdz");
    d.fields[2] = 0x444F5303;  // DOS type
    d.fields[21] = 512;        // sector size
    d.fields[22] = 1000000;    // total sectors
    ctx.bogomipsLoopRate = 123456789;
    ctx.results.setFigure(rec::kBogomips, 1234.5);
    ctx.results.setScore(slot::kProcessorTotal, {42.5, 1.0});
    MakeStamp(ctx, StampKind::Results);
  }
  std::string Home(const std::string& rest) const { return home.path() + "/" + rest; }
};

// A module of `user` made from the current results with the Mars Cipher
// figures a, b and c, its file written into the Local folder (the Local list
// is not touched).
inline ModuleRecord WriteMarsModule(Context& ctx, const std::string& user, double a, double b, double c) {
  ModuleRecord m = ctx.results;
  m.setFigure(0x188, a);
  m.setFigure(0x190, b);
  m.setFigure(0x198, c);
  ctx.settings.set_text(cfg::kUserName, cfg::kNameWidth, user);
  FillModuleDescription(ctx, m);
  EXPECT_TRUE(WriteModuleFile(ctx, LocalModulePath(ModuleSerial(m)), m));
  return m;
}

}  // namespace kr::test
