// Everything host detection asks of the host: resources and residents, the
// exec base fields, memory totals, ROM and library versions, and what a host
// can tell about itself (its processor, its system, its machine). One
// implementation per host kind; detection (sysinfo.h) holds the rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kr {

// A version.revision pair as exec keeps it (two 16-bit words).
struct VersionPair {
  uint16_t version = 0;
  uint16_t revision = 0;
  friend bool operator==(const VersionPair&, const VersionPair&) = default;
};

// exec AttnFlags bits.
enum : uint16_t {
  AFF_68010 = 1u << 0,
  AFF_68020 = 1u << 1,
  AFF_68030 = 1u << 2,
  AFF_68040 = 1u << 3,
  AFF_68881 = 1u << 4,
  AFF_68882 = 1u << 5,
  AFF_FPU40 = 1u << 6,
  AFF_68060 = 1u << 7,
};

// Processor texts a host names from its own CPU identification.
struct ProcessorNames {
  std::string cpu, fpu, mmu;
};

class HostProbe {
 public:
  virtual ~HostProbe() = default;

  // exec OpenResource: whether the named resource exists ("amithlon.resource").
  virtual bool HasResource(std::string_view name) = 0;
  // exec FindResident: the identification text of the named resident
  // ("MorphOS", "AmigaOS ROM Update"); nullopt when there is none.
  virtual std::optional<std::string> FindResident(std::string_view name) = 0;
  // exec MaxLocMem, read under Forbid/Permit: the size of chip memory, 0
  // when the host has none.
  virtual uint64_t MaxLocMem() = 0;
  // exec AttnFlags, read under Forbid/Permit.
  virtual uint16_t AttnFlags() = 0;
  // Total bytes of all memory regions of a type (MEMF_FAST or MEMF_CHIP).
  virtual uint64_t TotalMemory(uint32_t memType) = 0;
  // The ROM header pair: the words at byte offsets 12 and 14 of the ROM at
  // 0x00F80000 (0.0 when the host has no ROM there).
  virtual VersionPair RomVersion() = 0;
  // exec's own library version and revision.
  virtual VersionPair ExecVersion() = 0;
  // The words at byte offsets 12 and 14 of the 64-KiB block holding exec's
  // library node.
  virtual VersionPair ExecBlockVersion() = 0;
  // version.library's version and revision; nullopt when it cannot be opened.
  virtual std::optional<VersionPair> VersionLibrary() = 0;

  // What a host can name itself; a classic host answers nullopt to all.
  // Processor texts from the host's CPU identification (they replace the
  // AttnFlags texts and the "Unknown" of an emulated host).
  virtual std::optional<ProcessorNames> ProcessorIdentification() { return std::nullopt; }
  // The running system's release name (before the cut to the OS text).
  virtual std::optional<std::string> SystemRelease() { return std::nullopt; }
  // The running kernel's release text, shown as the KS version.
  virtual std::optional<std::string> KernelRelease() { return std::nullopt; }
  // The machine's own name, the main-model label of a no-chip host.
  virtual std::optional<std::string> MachineName() { return std::nullopt; }
};

// An identification text cut before its first "(" (blanks left before the
// cut are dropped too) and to at most 31 characters.
std::string CutIdentification(std::string_view ident);

}  // namespace kr
