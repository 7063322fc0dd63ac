#include "platform/fake/fake_host_probe.h"

#include "platform/exec.h"

namespace kr {

std::optional<std::string> FakeHostProbe::FindResident(std::string_view name) {
  auto it = residents.find(name);
  if (it == residents.end()) return std::nullopt;
  return it->second;
}

uint64_t FakeHostProbe::TotalMemory(uint32_t memType) {
  if (memType & MEMF_CHIP) return chipTotal;
  if (memType & MEMF_FAST) return fastTotal;
  return 0;
}

FakeHostProbe ClassicHost() {
  FakeHostProbe h;
  h.chipSize = h.chipTotal = 2u << 20;
  h.fastTotal = 16u << 20;
  h.attnFlags = AFF_68010 | AFF_68020 | AFF_68030 | AFF_68040 | AFF_FPU40;
  h.rom = {40, 68};
  h.exec = {40, 68};
  h.execBlock = {40, 68};
  h.versionLibrary = VersionPair{40, 42};
  return h;
}

FakeHostProbe AmithlonHost() {
  FakeHostProbe h;
  h.resources.insert("amithlon.resource");
  h.chipSize = h.chipTotal = 2u << 20;
  h.fastTotal = 256u << 20;
  h.attnFlags = AFF_68010 | AFF_68020 | AFF_68030 | AFF_68040 | AFF_FPU40;
  h.rom = {40, 68};
  h.exec = {40, 68};
  h.execBlock = {40, 68};
  h.versionLibrary = VersionPair{45, 3};
  return h;
}

FakeHostProbe PegasosHost() {
  FakeHostProbe h;
  h.residents["MorphOS"] = "MorphOS 1.4.5 (22.09.2005)";
  h.chipSize = h.chipTotal = 0;
  h.fastTotal = 512u << 20;
  h.exec = {50, 1};
  h.versionLibrary = VersionPair{50, 1};
  return h;
}

}  // namespace kr
