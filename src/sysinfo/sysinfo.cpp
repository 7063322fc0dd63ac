#include "sysinfo/sysinfo.h"

#include <algorithm>
#include <initializer_list>

#include "engine/context.h"
#include "platform/exec.h"
#include "util/numtext.h"

namespace kr {
namespace {

// One row of the release table; an empty list matches any pair.
struct ReleaseRow {
  const char* name;
  std::initializer_list<VersionPair> rom;
  std::initializer_list<VersionPair> lib;
};

const ReleaseRow kReleaseRows[] = {
    {"0.7 Beta", {{27, 3}}, {{27, 5}}},
    {"0.8 Beta", {}, {{28, 7}}},
    {"0.9 Beta", {{29, 2}}, {}},
    {"1.0 Final [NTSC only]", {}, {{30, 0}}},
    {"1.1 Final [NTCS]", {{31, 34}}, {{31, 334}}},
    {"1.1 Final [PAL]", {{32, 34}}, {{31, 334}}},
    {"1.2 Final", {{33, 180}}, {{33, 43}, {33, 46}, {33, 47}, {33, 56}, {33, 59}, {33, 61}}},
    {"1.2.1 Beta", {{34, 4}}, {}},
    {"1.3 Final", {{34, 5}}, {{34, 1}}},
    {"1.3.1 Beta", {{34, 5}}, {{34, 25}}},
    {"1.3.2 Final", {{34, 5}}, {{34, 28}}},
    {"1.3.3 Final", {{34, 5}}, {{34, 34}}},
    {"1.4 Beta", {{36, 0}}, {{36, 8}, {36, 16}, {36, 993}, {36, 1123}, {36, 1228}}},
    {"2.0 Final", {{36, 0}}, {{37, 33}, {37, 64}}},
    {"2.01 Final", {{36, 143}}, {}},
    {"2.02 Final", {{36, 207}}, {{36, 69}}},
    {"2.03 Final", {}, {{36, 102}}},
    {"2.04 Final", {{37, 175}}, {{37, 67}}},
    {"2.05 Final", {{37, 229}, {37, 300}, {37, 350}}, {{37, 71}, {37, 72}, {37, 74}}},
    {"2.1 Beta", {}, {{38, 12}, {38, 18}, {38, 23}, {38, 28}, {38, 31}, {38, 32}}},
    {"2.1 Final", {}, {{38, 35}, {38, 36}}},
    {"3.0 Beta", {{39, 110}}, {}},
    {"3.0 Final", {{39, 106}}, {{39, 29}}},
    {"3.1 Beta", {}, {{39, 82}, {39, 92}}},
    {"3.1 Final", {{40, 55}, {40, 58}, {40, 60}, {40, 68}, {40, 70}}, {{40, 42}}},
    {"3.5 Final", {}, {{44, 2}}},
    {"3.5 Final [BoingBag 1]", {}, {{44, 4}}},
    {"3.5 Final [BoingBag 2]", {}, {{44, 5}}},
    {"3.9 Final", {}, {{45, 1}}},
    {"3.9 Final [BoingBag 1]", {}, {{45, 2}}},
    {"3.9 Final [BoingBag 2]", {}, {{45, 3}}},
};

bool Matches(std::initializer_list<VersionPair> list, VersionPair p) {
  if (list.size() == 0) return true;
  for (const VersionPair& q : list)
    if (q == p) return true;
  return false;
}

bool IsZero(VersionPair p) { return p.version == 0 && p.revision == 0; }

void ProcessorFromAttnFlags(SystemInfo& s, uint16_t attn) {
  if (attn & AFF_68010) s.setField(sysrec::kCpu, "M68010");
  if (attn & AFF_68020) s.setField(sysrec::kCpu, "M68020");
  if (attn & AFF_68030) s.setField(sysrec::kCpu, "M68030");
  if (attn & AFF_68881) {
    s.setField(sysrec::kFpu, (attn & AFF_68882) ? "M68882 [Hardware/Extern]" : "M68881 [Hardware/Extern]");
  }
  if (attn & AFF_68040) {
    s.setField(sysrec::kCpu, "M68040");
    if ((attn & AFF_FPU40) && !(attn & (AFF_68881 | AFF_68882))) s.setField(sysrec::kFpu, "math.libs [Software]");
  }
  if (attn & AFF_68060) {
    s.setField(sysrec::kCpu, "M68060");
    s.setField(sysrec::kFpu, "M68060 [Hardware/Intern]");
    s.setField(sysrec::kMmu, "M68060 [Hardware/Intern]");
  }
}

}  // namespace

std::string MemoryText(uint64_t bytes) {
  FixedSplit m = SplitFixed(double(bytes) * 0.000001, 100);
  return Format("%u.%02u MB", m.whole, m.frac);
}

std::string ReleaseName(VersionPair rom, VersionPair versionLibrary) {
  const char* name = "Unknown";
  for (const ReleaseRow& row : kReleaseRows)
    if (Matches(row.rom, rom) && Matches(row.lib, versionLibrary)) name = row.name;
  return name;
}

uint16_t RevisionFromIdentification(std::string_view ident) {
  size_t blank = ident.find(' ');
  if (blank == std::string_view::npos) return 0;
  std::string_view rest = ident.substr(blank);
  long version = 0;
  int used = StrToLong(rest, version);
  if (used < 0) return 0;
  rest = rest.substr(size_t(used));
  if (rest.empty() || rest.front() != '.') return 0;
  long revision = 0;
  if (StrToLong(rest.substr(1), revision) < 0 || revision < 0 || revision > 0xFFFF) return 0;
  return uint16_t(revision);
}

void CollectSystemInfo(Context& ctx, HostProbe& probe) {
  SystemInfo& s = ctx.sysinfo;
  RunState& run = ctx.run;
  ResetSystemInfo(s);

  // Host kind.
  run.amithlon = probe.HasResource("amithlon.resource") ? 1 : 0;
  run.noChipMemory = probe.MaxLocMem() == 0 ? 1 : 0;
  std::optional<std::string> nativeIdent = probe.FindResident("MorphOS");
  run.morphOS = nativeIdent ? 1 : 0;
  std::fill(std::begin(run.hostModel), std::end(run.hostModel), '\0');
  if (run.noChipMemory) {
    if (std::optional<std::string> machine = probe.MachineName()) {
      PutText(reinterpret_cast<uint8_t*>(run.hostModel), sizeof run.hostModel, *machine);
    }
  }

  // Processor names.
  if (!run.amithlon) ProcessorFromAttnFlags(s, probe.AttnFlags());
  if (run.amithlon || run.noChipMemory) {
    s.setField(sysrec::kCpu, "Unknown");
    s.setField(sysrec::kFpu, "Unknown");
    s.setField(sysrec::kMmu, "Unknown");
  }
  if (std::optional<ProcessorNames> cpu = probe.ProcessorIdentification()) {
    if (!cpu->cpu.empty()) s.setField(sysrec::kCpu, cpu->cpu);
    if (!cpu->fpu.empty()) s.setField(sysrec::kFpu, cpu->fpu);
    if (!cpu->mmu.empty()) s.setField(sysrec::kMmu, cpu->mmu);
  }

  // Memory texts.
  s.setField(sysrec::kTotalFast, MemoryText(probe.TotalMemory(MEMF_FAST)));
  s.setField(sysrec::kTotalChip, run.noChipMemory ? std::string("Not avail") : MemoryText(probe.TotalMemory(MEMF_CHIP)));
  run.memoryInfoReady = 1;

  // Version texts.
  std::optional<VersionPair> lib = probe.VersionLibrary();
  if (lib) s.setField(sysrec::kWb, Format("%u.%u", unsigned(lib->version), unsigned(lib->revision)));
  VersionPair rom = run.noChipMemory ? VersionPair{} : probe.RomVersion();
  VersionPair exec = probe.ExecVersion();
  VersionPair running;
  std::optional<std::string> update;
  if (exec.version > 44) update = probe.FindResident("AmigaOS ROM Update");
  if (update) {
    running = {exec.version, RevisionFromIdentification(*update)};
  } else if (!run.noChipMemory) {
    running = probe.ExecBlockVersion();
  }
  if (running.version > 37) {
    s.setField(sysrec::kKs, Format("v%u.%u [rom v%u.%u]", unsigned(running.version), unsigned(running.revision),
                                   unsigned(rom.version), unsigned(rom.revision)));
  } else {
    s.setField(sysrec::kKs, Format("orginal rom v%u.%u", unsigned(rom.version), unsigned(rom.revision)));
  }

  std::optional<std::string> release = probe.SystemRelease();
  if (run.amithlon) {
    s.setField(sysrec::kOs, "AmigaXL/Amithlon");
  } else if (nativeIdent) {
    s.setField(sysrec::kOs, CutIdentification(*nativeIdent));
  } else if (release) {
    s.setField(sysrec::kOs, CutIdentification(*release));
  } else {
    s.setField(sysrec::kOs, ReleaseName(rom, lib.value_or(VersionPair{})));
  }

  // A host that is not a classic machine shows "Not avail" for a version it
  // cannot read: version.library missing or 0.0, the ROM or the running
  // system's pair 0.0.
  if (run.amithlon || nativeIdent || release) {
    if (!lib || IsZero(*lib)) s.setField(sysrec::kWb, "Not avail");
    if (IsZero(running) || IsZero(rom)) s.setField(sysrec::kKs, "Not avail");
  }
  if (std::optional<std::string> kernel = probe.KernelRelease(); kernel && !kernel->empty()) {
    s.setField(sysrec::kKs, *kernel);
  }
}

}  // namespace kr
