#include "sysinfo/sysinfo.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "support/test_context.h"
#include "platform/fake/fake_host_probe.h"
#include "sysinfo/hardware_tables.h"

namespace kr {
namespace {

using Texts = std::array<std::string, sysrec::kFieldCount>;  // FAST, CHIP, CPU, FPU, MMU, OS, KS, WB

Texts Fields(const SystemInfo& s) {
  Texts t;
  for (int f = 0; f < sysrec::kFieldCount; ++f) t[size_t(f)] = std::string(s.field(f));
  return t;
}

void ExpectFields(const SystemInfo& s, const Texts& expected, const std::string& label) {
  static const char* kNames[] = {"FAST", "CHIP", "CPU", "FPU", "MMU", "OS", "KS", "WB"};
  Texts got = Fields(s);
  for (size_t f = 0; f < got.size(); ++f) EXPECT_EQ(got[f], expected[f]) << label << ": " << kNames[f];
}

TEST(SystemInfo, MemoryTextTruncatesDecimalMegabytes) {
  struct Case {
    uint64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0.00 MB"},
      {999'999, "0.99 MB"},
      {1'000'000, "1.00 MB"},
      {2u << 20, "2.09 MB"},
      {1'073'741'824, "1073.74 MB"},
      {17'179'869'184ull, "17179.86 MB"},
  };
  for (const Case& c : cases) EXPECT_EQ(MemoryText(c.bytes), c.text) << c.bytes;
}

TEST(SystemInfo, ReleaseTableLastMatchingRowWins) {
  struct Case {
    VersionPair rom, lib;
    const char* name;
  } cases[] = {
      {{27, 3}, {27, 5}, "0.7 Beta"},
      {{29, 2}, {28, 7}, "0.9 Beta"},  // rows "0.8 Beta" and "0.9 Beta" both match
      {{0, 0}, {28, 7}, "0.8 Beta"},
      {{31, 34}, {31, 334}, "1.1 Final [NTCS]"},
      {{32, 34}, {31, 334}, "1.1 Final [PAL]"},
      {{33, 180}, {33, 59}, "1.2 Final"},
      {{33, 180}, {33, 60}, "Unknown"},
      {{34, 4}, {0, 0}, "1.2.1 Beta"},
      {{34, 5}, {34, 34}, "1.3.3 Final"},
      {{36, 0}, {36, 1228}, "1.4 Beta"},
      {{36, 0}, {37, 64}, "2.0 Final"},
      {{36, 207}, {36, 102}, "2.03 Final"},
      {{37, 350}, {37, 74}, "2.05 Final"},
      {{37, 350}, {37, 67}, "Unknown"},
      {{39, 106}, {39, 29}, "3.0 Final"},
      {{39, 110}, {39, 29}, "3.0 Beta"},
      {{39, 110}, {39, 92}, "3.1 Beta"},
      {{40, 68}, {40, 42}, "3.1 Final"},
      {{40, 63}, {40, 42}, "Unknown"},
      {{40, 68}, {45, 3}, "3.9 Final [BoingBag 2]"},
      {{0, 0}, {0, 0}, "Unknown"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReleaseName(c.rom, c.lib), c.name) << c.rom.version << "." << c.rom.revision << " / " << c.lib.version
                                                 << "." << c.lib.revision;
  }
}

TEST(SystemInfo, IdentificationTexts) {
  struct Case {
    const char* ident;
    const char* cut;
  } cases[] = {
      {"MorphOS 1.4.5 (22.09.2005)", "MorphOS 1.4.5"},
      {"Debian GNU/Linux 12 (bookworm)", "Debian GNU/Linux 12"},
      {"(only a date)", ""},
      {"A release name that is longer than one field holds", "A release name that is longer t"},
      {"NoParen", "NoParen"},
  };
  for (const Case& c : cases) EXPECT_EQ(CutIdentification(c.ident), c.cut) << c.ident;

  struct Rev {
    const char* ident;
    uint16_t revision;
  } revs[] = {
      {"exec 45.57 (17.3.2001)", 57},
      {"exec   45.20", 20},
      {"AmigaOS ROM Update 45.57", 0},  // the number must follow the first blank
      {"exec 45", 0},
      {"exec 45.", 0},
      {"exec45.3", 0},
      {"exec 45.99999", 0},
  };
  for (const Rev& r : revs) EXPECT_EQ(RevisionFromIdentification(r.ident), r.revision) << r.ident;
}

TEST(SystemInfo, ProcessorTextsFromAttnFlags) {
  const uint16_t k020 = AFF_68010 | AFF_68020, k030 = k020 | AFF_68030, k040 = k030 | AFF_68040;
  struct Case {
    uint16_t attn;
    const char *cpu, *fpu, *mmu;
  } cases[] = {
      {0, "None", "None", "None"},
      {AFF_68010, "M68010", "None", "None"},
      {k020 | AFF_68881, "M68020", "M68881 [Hardware/Extern]", "None"},
      {k030 | AFF_68881 | AFF_68882, "M68030", "M68882 [Hardware/Extern]", "None"},
      {k040 | AFF_FPU40, "M68040", "math.libs [Software]", "None"},
      {k040 | AFF_FPU40 | AFF_68881 | AFF_68882, "M68040", "M68882 [Hardware/Extern]", "None"},
      {k040, "M68040", "None", "None"},
      {k040 | AFF_FPU40 | AFF_68060, "M68060", "M68060 [Hardware/Intern]", "M68060 [Hardware/Intern]"},
  };
  test::TestContext t;  // one record for all: no text may survive from the case before
  for (const Case& c : cases) {
    FakeHostProbe host = ClassicHost();
    host.attnFlags = c.attn;
    CollectSystemInfo(t.ctx, host);
    EXPECT_EQ(t.ctx.sysinfo.field(sysrec::kCpu), c.cpu) << c.attn;
    EXPECT_EQ(t.ctx.sysinfo.field(sysrec::kFpu), c.fpu) << c.attn;
    EXPECT_EQ(t.ctx.sysinfo.field(sysrec::kMmu), c.mmu) << c.attn;
  }
}

// Each host kind and its variations: the whole record and the host flags.
TEST(SystemInfo, HostKinds) {
  struct Case {
    const char* label;
    std::function<FakeHostProbe()> host;
    Texts texts;
    int amithlon, noChip, morphOS;
    const char *mainModel, *overclocked;
  } cases[] = {
      {"classic A4000/040, release 3.1", ClassicHost,
       {"16.77 MB", "2.09 MB", "M68040", "math.libs [Software]", "None", "3.1 Final", "v40.68 [rom v40.68]", "40.42"},
       0, 0, 0, "Commodore - A4000", "NO"},
      {"classic, 1 GiB fast memory",
       [] {
         auto h = ClassicHost();
         h.fastTotal = 1'073'741'824;
         return h;
       },
       {"1073.74 MB", "2.09 MB", "M68040", "math.libs [Software]", "None", "3.1 Final", "v40.68 [rom v40.68]", "40.42"},
       0, 0, 0, "Commodore - A4000", "NO"},
      {"classic, Kickstart 1.3 without version.library",
       [] {
         auto h = ClassicHost();
         h.attnFlags = 0;
         h.rom = h.exec = h.execBlock = {34, 5};
         h.versionLibrary.reset();
         return h;
       },
       {"16.77 MB", "2.09 MB", "None", "None", "None", "Unknown", "orginal rom v34.5", ""}, 0, 0, 0,
       "Commodore - A4000", "NO"},
      {"classic, ROM 29.2 with version.library 28.7",
       [] {
         auto h = ClassicHost();
         h.rom = h.exec = h.execBlock = {29, 2};
         h.versionLibrary = VersionPair{28, 7};
         return h;
       },
       {"16.77 MB", "2.09 MB", "M68040", "math.libs [Software]", "None", "0.9 Beta", "orginal rom v29.2", "28.7"}, 0, 0,
       0, "Commodore - A4000", "NO"},
      {"classic 3.9 with the ROM update",
       [] {
         auto h = ClassicHost();
         h.exec = {45, 20};
         h.residents["AmigaOS ROM Update"] = "exec 45.57 (17.3.2001)";
         h.versionLibrary = VersionPair{45, 3};
         return h;
       },
       {"16.77 MB", "2.09 MB", "M68040", "math.libs [Software]", "None", "3.9 Final [BoingBag 2]",
        "v45.57 [rom v40.68]", "45.3"},
       0, 0, 0, "Commodore - A4000", "NO"},
      {"classic, exec 44 ignores the ROM update",
       [] {
         auto h = ClassicHost();
         h.exec = {44, 1};
         h.execBlock = {44, 3};
         h.residents["AmigaOS ROM Update"] = "exec 45.57";
         return h;
       },
       {"16.77 MB", "2.09 MB", "M68040", "math.libs [Software]", "None", "3.1 Final", "v44.3 [rom v40.68]", "40.42"},
       0, 0, 0, "Commodore - A4000", "NO"},
      {"AmigaXL/Amithlon", AmithlonHost,
       {"268.43 MB", "2.09 MB", "Unknown", "Unknown", "Unknown", "AmigaXL/Amithlon", "v40.68 [rom v40.68]", "45.3"}, 1,
       0, 0, "AmigaXL/Amithlon", "Not avail"},
      {"AmigaXL/Amithlon without version.library",
       [] {
         auto h = AmithlonHost();
         h.versionLibrary.reset();
         h.rom = {};
         return h;
       },
       {"268.43 MB", "2.09 MB", "Unknown", "Unknown", "Unknown", "AmigaXL/Amithlon", "Not avail", "Not avail"}, 1, 0, 0,
       "AmigaXL/Amithlon", "Not avail"},
      {"Pegasos with MorphOS", PegasosHost,
       {"536.87 MB", "Not avail", "Unknown", "Unknown", "Unknown", "MorphOS 1.4.5", "Not avail", "50.1"}, 0, 1, 1,
       "Pegasos Hardware", "Not avail"},
      {"Pegasos, processor flags ignored, version.library 0.0",
       [] {
         auto h = PegasosHost();
         h.attnFlags = AFF_68010 | AFF_68020 | AFF_68030 | AFF_68040 | AFF_FPU40 | AFF_68060;
         h.versionLibrary = VersionPair{0, 0};
         return h;
       },
       {"536.87 MB", "Not avail", "Unknown", "Unknown", "Unknown", "MorphOS 1.4.5", "Not avail", "Not avail"}, 0, 1, 1,
       "Pegasos Hardware", "Not avail"},
      {"Amithlon without chip memory: the Pegasos label wins",
       [] {
         auto h = AmithlonHost();
         h.chipSize = h.chipTotal = 0;
         return h;
       },
       {"268.43 MB", "Not avail", "Unknown", "Unknown", "Unknown", "AmigaXL/Amithlon", "Not avail", "45.3"}, 1, 1, 0,
       "Pegasos Hardware", "Not avail"},
      {"no-chip host that names itself",
       [] {
         FakeHostProbe h;
         h.fastTotal = 8'000'000'000ull;
         h.processor = ProcessorNames{"Intel Core i7-8650U 1.90GHz", "x87/AVX2 [Hardware/Intern]", ""};
         h.systemRelease = "Debian GNU/Linux 12 (bookworm)";
         h.kernelRelease = "6.1.0-18-amd64";
         h.machineName = "Dell XPS 13 9360";
         return h;
       },
       {"8000.00 MB", "Not avail", "Intel Core i7-8650U 1.90GHz", "x87/AVX2 [Hardware/Intern]", "Unknown",
        "Debian GNU/Linux 12", "6.1.0-18-amd64", "Not avail"},
       0, 1, 0, "Dell XPS 13 9360", "Not avail"},
  };
  for (const Case& c : cases) {
    test::TestContext t;
    t.ctx.settings.set_s32(cfg::kMainVendor, 4);
    t.ctx.settings.set_s32(cfg::kMainModel, 11);
    // Stale texts and flags from before must not survive detection.
    for (int f = 0; f < sysrec::kFieldCount; ++f) t.ctx.sysinfo.setField(f, "stale");
    t.ctx.run.amithlon = t.ctx.run.noChipMemory = t.ctx.run.morphOS = 1;
    std::strcpy(t.ctx.run.hostModel, "stale");
    FakeHostProbe host = c.host();
    CollectSystemInfo(t.ctx, host);
    ExpectFields(t.ctx.sysinfo, c.texts, c.label);
    EXPECT_EQ(t.ctx.run.amithlon, c.amithlon) << c.label;
    EXPECT_EQ(t.ctx.run.noChipMemory, c.noChip) << c.label;
    EXPECT_EQ(t.ctx.run.morphOS, c.morphOS) << c.label;
    EXPECT_EQ(t.ctx.run.memoryInfoReady, 1) << c.label;
    EXPECT_EQ(HardwareText(t.ctx, hw::kMainModel), c.mainModel) << c.label;
    EXPECT_EQ(OverclockedText(t.ctx), c.overclocked) << c.label;
  }
}

TEST(SystemInfo, LongHostTextsAreCutToTheirFields) {
  test::TestContext t;
  FakeHostProbe h = PegasosHost();
  h.residents["MorphOS"] = "MorphOS 3.18 with a much longer identification (2023)";
  h.machineName = "A machine name longer than the thirty-one characters";
  CollectSystemInfo(t.ctx, h);
  EXPECT_EQ(t.ctx.sysinfo.field(sysrec::kOs), "MorphOS 3.18 with a much longer");
  EXPECT_EQ(HardwareText(t.ctx, hw::kMainModel), "A machine name longer than the ");
  EXPECT_EQ(t.ctx.run.hostModel[31], '\0');
}

}  // namespace
}  // namespace kr
