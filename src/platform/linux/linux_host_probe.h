// The Linux host as detection sees it: no chip memory, no ROM, no exec
// libraries or residents; it names its own processor (/proc/cpuinfo), its
// system (/etc/os-release), its kernel (the kernel release) and its machine
// (the firmware tables in /sys/class/dmi/id, else the device tree).
#pragma once

#include <string>
#include <string_view>

#include "platform/exec.h"
#include "platform/host_probe.h"

namespace kr {

class LinuxHostProbe : public HostProbe {
 public:
  // Memory totals come from exec, as the memory section sees them. root is
  // prefixed to every file read ("" for the running machine; a folder with
  // etc/, proc/ and sys/ in tests).
  explicit LinuxHostProbe(Exec& exec, std::string root = "") : exec_(exec), root_(std::move(root)) {}

  bool HasResource(std::string_view) override { return false; }
  std::optional<std::string> FindResident(std::string_view) override { return std::nullopt; }
  uint64_t MaxLocMem() override { return exec_.MaxLocMem(); }
  uint16_t AttnFlags() override { return 0; }
  uint64_t TotalMemory(uint32_t memType) override { return exec_.TotalMem(memType); }
  VersionPair RomVersion() override;
  VersionPair ExecVersion() override { return {}; }
  VersionPair ExecBlockVersion() override { return {}; }
  std::optional<VersionPair> VersionLibrary() override { return std::nullopt; }

  std::optional<ProcessorNames> ProcessorIdentification() override;
  std::optional<std::string> SystemRelease() override;
  std::optional<std::string> KernelRelease() override;
  std::optional<std::string> MachineName() override;

 private:
  std::string ReadHostFile(const char* path, size_t limit = 1 << 20) const;
  std::string MachineArch() const;

  Exec& exec_;
  std::string root_;
};

// The pieces of the Linux probe, each from the text of the file it reads.

// A UTF-8 text as a single-line Latin-1 record text: characters outside
// Latin-1 become "?", control characters blanks, runs of blanks one blank,
// no blanks at either end.
std::string ToRecordText(std::string_view utf8);

// The system's name from an os-release file: PRETTY_NAME, else NAME and
// VERSION, else NAME; "Linux" when it names nothing. Shell quoting and
// escapes are undone.
std::string OsReleaseName(std::string_view osRelease);

// Processor texts from /proc/cpuinfo for a machine architecture as uname
// names it ("x86_64", "aarch64", ...). Texts the file does not tell stay
// empty. Every text fits a record field (31 characters).
ProcessorNames ProcessorNamesFromCpuInfo(std::string_view cpuinfo, std::string_view arch);

// The firmware's identification of the machine (sysfs dmi/id files, each
// with its trailing newline or not).
struct FirmwareIds {
  std::string sysVendor, productName, productVersion, boardVendor, boardName;
};
// "Vendor Product" from the firmware ids, skipping placeholder texts ("To Be
// Filled By O.E.M.", "System Product Name", ...) and company suffixes, cut as
// identification texts are cut; empty when the firmware names nothing.
std::string MachineNameFromFirmware(const FirmwareIds& ids);

}  // namespace kr
