#include "platform/linux/linux_host_probe.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "platform/linux/linux_exec.h"
#include "support/host_facts.h"
#include "support/test_context.h"
#include "sysinfo/hardware_tables.h"
#include "sysinfo/sysinfo.h"

namespace kr {
namespace {

TEST(LinuxHostProbe, RecordTextFromUtf8) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"  plain  text\n", "plain text"},
      {"tab\tand\r\nnewline", "tab and newline"},
      {"Caf\xC3\xA9 OS", "Caf\xE9 OS"},          // Latin-1 character kept as its byte
      {"check \xE2\x9C\x93 mark", "check ? mark"},  // outside Latin-1
      {"bad \xFF byte \xC3", "bad ? byte ?"},       // broken UTF-8
      {std::string("nul\0inside", 10), "nul inside"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ToRecordText(c.in), c.out) << c.in;
}

TEST(LinuxHostProbe, OsReleaseName) {
  struct Case {
    const char* file;
    const char* name;
  } cases[] = {
      {"PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\nVERSION=\"12 (bookworm)\"\n",
       "Debian GNU/Linux 12 (bookworm)"},
      {"NAME=Fedora\nVERSION=\"39 (Workstation Edition)\"\n", "Fedora 39 (Workstation Edition)"},
      {"# comment\nNAME='Alpine Linux'\n", "Alpine Linux"},
      {"PRETTY_NAME=\"Say \\\"hi\\\" \\$HOME\"\n", "Say \"hi\" $HOME"},
      {"PRETTY_NAME=\"\"\nNAME=Arch\n", "Arch"},
      {"PRETTY_NAME=\"Caf\xC3\xA9 OS\"", "Caf\xE9 OS"},
      {"", "Linux"},
      {"garbage without equals\n", "Linux"},
  };
  for (const Case& c : cases) EXPECT_EQ(OsReleaseName(c.file), c.name) << c.file;
}

const char kIntelCpuInfo[] =
    "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Core(TM) i7-8650U CPU @ 1.90GHz\n"
    "flags\t\t: fpu vme de pse tsc msr sse sse2 ssse3 sse4_1 sse4_2 avx avx2 hypervisor\n"
    "address sizes\t: 39 bits physical, 48 bits virtual\n\nprocessor\t: 1\n";

TEST(LinuxHostProbe, ProcessorNamesFromCpuInfo) {
  struct Case {
    const char* label;
    std::string cpuinfo, arch;
    const char *cpu, *fpu, *mmu;
  } cases[] = {
      {"Intel laptop", kIntelCpuInfo, "x86_64", "Intel Core i7-8650U 1.90GHz", "x87/AVX2 [Hardware/Intern]",
       "x86-64 48-bit [Hardware/Intern]"},
      {"long Xeon name loses its clock",
       "model name\t: Intel(R) Xeon(R) Platinum 8375C CPU @ 2.90GHz\nflags\t: fpu sse2 avx avx2 avx512f\n"
       "address sizes\t: 46 bits physical, 57 bits virtual\n",
       "x86_64", "Intel Xeon Platinum 8375C", "x87/AVX-512 [Hardware/Intern]", "x86-64 57-bit [Hardware/Intern]"},
      {"AMD with graphics", "model name\t: AMD Ryzen 7 5700U with Radeon Graphics\nflags\t: fpu sse2 sse4_2\n",
       "x86_64", "AMD Ryzen 7 5700U", "x87/SSE4.2 [Hardware/Intern]", "x86-64 [Hardware/Intern]"},
      {"old 32-bit PC", "model name\t: Pentium MMX\nflags\t: fpu vme tsc\n", "i586", "Pentium MMX",
       "x87 [Hardware/Intern]", "x86 [Hardware/Intern]"},
      {"x86 without an FPU", "model name\t: Vortex86SX\nflags\t: tsc\n", "i486", "Vortex86SX", "None",
       "x86 [Hardware/Intern]"},
      {"Arm core by part number",
       "processor\t: 0\nFeatures\t: fp asimd evtstrm crc32 cpuid\nCPU implementer\t: 0x41\nCPU part\t: 0xd08\n",
       "aarch64", "ARM Cortex-A72", "FP/ASIMD [Hardware/Intern]", "AArch64 [Hardware/Intern]"},
      {"unknown Arm part", "Features\t: fp asimd sve\nCPU implementer\t: 0x61\nCPU part\t: 0x22\n", "aarch64",
       "Arm core 0x61/0x22", "FP/SVE [Hardware/Intern]", "AArch64 [Hardware/Intern]"},
      {"RISC-V", "processor\t: 0\nisa\t: rv64imafdc\nuarch\t: sifive,u74-mc\n", "riscv64", "sifive,u74-mc", "",
       "riscv64 [Hardware/Intern]"},
      {"empty file", "", "x86_64", "", "", "x86-64 [Hardware/Intern]"},
  };
  for (const Case& c : cases) {
    ProcessorNames p = ProcessorNamesFromCpuInfo(c.cpuinfo, c.arch);
    EXPECT_EQ(p.cpu, c.cpu) << c.label;
    EXPECT_EQ(p.fpu, c.fpu) << c.label;
    EXPECT_EQ(p.mmu, c.mmu) << c.label;
    for (const std::string& s : {p.cpu, p.fpu, p.mmu}) EXPECT_LE(s.size(), 31u) << c.label << ": " << s;
  }
}

TEST(LinuxHostProbe, MachineNameFromFirmware) {
  struct Case {
    FirmwareIds ids;
    const char* name;
  } cases[] = {
      {{"Dell Inc.\n", "XPS 13 9360\n", "", "Dell Inc.\n", "0839Y6\n"}, "Dell XPS 13 9360"},
      {{"LENOVO\n", "20L5CTO1WW\n", "ThinkPad T480\n", "LENOVO\n", "20L5CTO1WW\n"}, "LENOVO ThinkPad T480"},
      {{"HP\n", "HP EliteBook 840 G5\n", "", "", ""}, "HP EliteBook 840 G5"},
      {{"System manufacturer\n", "System Product Name\n", "System Version\n", "ASUSTeK COMPUTER INC.\n",
        "PRIME B450M-A\n"},
       "ASUSTeK PRIME B450M-A"},
      {{"To Be Filled By O.E.M.\n", "To Be Filled By O.E.M.\n", "", "ASRock\n", "B550 Phantom Gaming 4\n"},
       "ASRock B550 Phantom Gaming 4"},
      {{"QEMU\n", "Standard PC (i440FX + PIIX, 1996)\n", "pc-i440fx-7.2\n", "", ""}, "QEMU Standard PC"},
      {{"Micro-Star International Co., Ltd.\n", "MS-7C02\n", "", "", ""}, "Micro-Star MS-7C02"},
      {{"Gigabyte Technology Co., Ltd.\n", "X570 AORUS ELITE WIFI with a long suffix\n", "", "", ""},
       "Gigabyte X570 AORUS ELITE WIFI "},
      {{"Default string\n", "Default string\n", "", "Default string\n", "Default string\n"}, ""},
      {{"", "", "", "", ""}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(MachineNameFromFirmware(c.ids), c.name) << c.ids.productName;
}

// A host tree under a temporary root: etc/, proc/ and sys/ as the files say.
void WriteTree(const std::string& root, const std::map<std::string, std::string>& files) {
  for (const auto& [path, text] : files) {
    std::string full = root + "/" + path;
    MakeDirs(full.substr(0, full.rfind('/')));
    std::ofstream(full, std::ios::binary) << text;
  }
}

TEST(LinuxHostProbe, RecordFromAHostTree) {
  test::TestContext t;
  WriteTree(t.home.path(), {
                               {"etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"},
                               {"proc/cpuinfo", kIntelCpuInfo},
                               {"proc/sys/kernel/osrelease", "6.1.0-18-amd64\n"},
                               {"proc/sys/kernel/arch", "x86_64\n"},
                               {"sys/class/dmi/id/sys_vendor", "Dell Inc.\n"},
                               {"sys/class/dmi/id/product_name", "XPS 13 9360\n"},
                           });
  LinuxHostProbe probe(t.exec, t.home.path());  // FakeExec: 4 GiB fast, no chip memory
  CollectSystemInfo(t.ctx, probe);
  const SystemInfo& s = t.ctx.sysinfo;
  EXPECT_EQ(s.field(sysrec::kTotalFast), "4294.96 MB");
  EXPECT_EQ(s.field(sysrec::kTotalChip), "Not avail");
  EXPECT_EQ(s.field(sysrec::kCpu), "Intel Core i7-8650U 1.90GHz");
  EXPECT_EQ(s.field(sysrec::kFpu), "x87/AVX2 [Hardware/Intern]");
  EXPECT_EQ(s.field(sysrec::kMmu), "x86-64 48-bit [Hardware/Intern]");
  EXPECT_EQ(s.field(sysrec::kOs), "Debian GNU/Linux 12");
  EXPECT_EQ(s.field(sysrec::kKs), "6.1.0-18-amd64");
  EXPECT_EQ(s.field(sysrec::kWb), "Not avail");
  EXPECT_EQ(t.ctx.run.noChipMemory, 1);
  EXPECT_EQ(t.ctx.run.amithlon, 0);
  EXPECT_EQ(t.ctx.run.morphOS, 0);
  EXPECT_EQ(HardwareText(t.ctx, hw::kMainModel), "Dell XPS 13 9360");
  EXPECT_EQ(OverclockedText(t.ctx), "Not avail");
}

TEST(LinuxHostProbe, TreeWithoutNamesFallsBack) {
  struct Case {
    std::map<std::string, std::string> files;
    const char *os, *cpu, *machine;
  } cases[] = {
      {{{"usr/lib/os-release", "NAME=Arch\n"}, {"proc/device-tree/model", std::string("Raspberry Pi 4 Model B Rev 1.4\0", 31)}},
       "Arch", "Unknown", "Raspberry Pi 4 Model B Rev 1.4"},
      {{{"proc/cpuinfo", kIntelCpuInfo}}, "Linux", "Intel Core i7-8650U 1.90GHz", "Virtual Machine"},
      {{{"etc/hostname", "box\n"}}, "Linux", "Unknown", "Unknown"},
  };
  for (const Case& c : cases) {
    test::TestContext t;
    WriteTree(t.home.path(), c.files);
    LinuxHostProbe probe(t.exec, t.home.path());
    CollectSystemInfo(t.ctx, probe);
    EXPECT_EQ(t.ctx.sysinfo.field(sysrec::kOs), c.os);
    EXPECT_EQ(t.ctx.sysinfo.field(sysrec::kCpu), c.cpu);
    EXPECT_EQ(t.ctx.sysinfo.field(sysrec::kKs), "Not avail");  // no kernel release in the tree
    EXPECT_EQ(HardwareText(t.ctx, hw::kMainModel), c.machine);
  }
}

// This machine: every text is there and nothing crashes.
TEST(LinuxHostProbe, ThisMachine) {
  test::TestContext t;
  LinuxExec exec;
  LinuxHostProbe probe(exec);
  CollectSystemInfo(t.ctx, probe);
  const SystemInfo& s = t.ctx.sysinfo;
  for (int f = 0; f < sysrec::kFieldCount; ++f) EXPECT_FALSE(s.field(f).empty()) << "field " << f;
  EXPECT_NE(s.field(sysrec::kTotalFast), "0.00 MB");
  EXPECT_EQ(s.field(sysrec::kTotalChip), "Not avail");
  EXPECT_EQ(s.field(sysrec::kWb), "Not avail");
  utsname u{};
  ASSERT_EQ(uname(&u), 0);
  EXPECT_EQ(s.field(sysrec::kKs), std::string(u.release).substr(0, 31));
  EXPECT_NE(s.field(sysrec::kOs).find(test::HostOsName()), std::string_view::npos) << s.field(sysrec::kOs);
  EXPECT_EQ(t.ctx.run.noChipMemory, 1);
  EXPECT_EQ(t.ctx.run.memoryInfoReady, 1);
  std::string main = HardwareText(t.ctx, hw::kMainModel);
  EXPECT_FALSE(main.empty());
  EXPECT_NE(main, "Pegasos Hardware");
  static const char* kNames[] = {"Total FAST", "Total CHIP", "CPU", "FPU", "MMU", "OS", "KS", "WB"};
  for (int f = 0; f < sysrec::kFieldCount; ++f) std::printf("%-10s : %s\n", kNames[f], std::string(s.field(f)).c_str());
  std::printf("%-10s : %s\n%-10s : %s\n", "Mainmodel", main.c_str(), "Overclocked", OverclockedText(t.ctx).c_str());
}

}  // namespace
}  // namespace kr
