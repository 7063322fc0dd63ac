// A host probe that answers from fields, and three ready-made hosts: a
// classic machine, an AmigaXL/Amithlon host and a Pegasos host.
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/host_probe.h"

namespace kr {

class FakeHostProbe : public HostProbe {
 public:
  std::set<std::string, std::less<>> resources;
  std::map<std::string, std::string, std::less<>> residents;  // name -> identification text
  uint64_t chipSize = 0;
  uint16_t attnFlags = 0;
  uint64_t fastTotal = 0, chipTotal = 0;
  VersionPair rom, exec, execBlock;
  std::optional<VersionPair> versionLibrary;
  std::optional<ProcessorNames> processor;
  std::optional<std::string> systemRelease, kernelRelease, machineName;

  bool HasResource(std::string_view name) override { return resources.count(name) != 0; }
  std::optional<std::string> FindResident(std::string_view name) override;
  uint64_t MaxLocMem() override { return chipSize; }
  uint16_t AttnFlags() override { return attnFlags; }
  uint64_t TotalMemory(uint32_t memType) override;
  VersionPair RomVersion() override { return rom; }
  VersionPair ExecVersion() override { return exec; }
  VersionPair ExecBlockVersion() override { return execBlock; }
  std::optional<VersionPair> VersionLibrary() override { return versionLibrary; }
  std::optional<ProcessorNames> ProcessorIdentification() override { return processor; }
  std::optional<std::string> SystemRelease() override { return systemRelease; }
  std::optional<std::string> KernelRelease() override { return kernelRelease; }
  std::optional<std::string> MachineName() override { return machineName; }
};

// A4000 with a 68040 (its FPU left to math.libs), 2 MiB chip and 16 MiB fast
// memory, Kickstart 40.68 and version.library 40.42 (release 3.1).
FakeHostProbe ClassicHost();
// AmigaXL/Amithlon: amithlon.resource present, 2 MiB emulated chip memory,
// 256 MiB fast memory, ROM 40.68, version.library 45.3; AttnFlags as an
// emulated 68040 reports them.
FakeHostProbe AmithlonHost();
// Pegasos running MorphOS: no chip memory, 512 MiB fast memory, the
// "MorphOS" resident, exec 50.1, version.library 50.1, no ROM.
FakeHostProbe PegasosHost();

}  // namespace kr
