#include "report/frame.h"

#include "util/latin1.h"

#include <cstring>
#include <string_view>

#include "report/report.h"
#include "records/settings_record.h"
#include "sysinfo/hardware_tables.h"
#include "records/sysinfo_record.h"

namespace kr {
namespace {

// The logo of the banner: eleven lines of 74 columns between the borders.
constexpr const char* kLogo[11] = {
    "|                                                                          |\n",
    "|     _  __  ___   _     __    __    _     ___     _     _   _   _  __     |\n",
    "|    | |/ / | __| | |    \\ \\  / /   /_\\   | _ \\   /_\\   | \\ | | | |/ /     |\n",
    "|    |   (  | _|  | |__   \\ \\/ /   / _ \\  |   /  / _ \\  |  \\| | |   (      |\n",
    "|    |_|\\_\\ |___| |____|   \\__/   /_/ \\_\\ |_|_\\ /_/ \\_\\ |_| \\_| |_|\\_\\     |\n",
    "|                                                                          |\n",
    "|                          __    __  _____   ___                           |\n",
    "|                          \\ \\  / / |_   _| / __|                          |\n",
    "|                           \\ \\/ /    | |   \\__ \\                          |\n",
    "|       ._________________.  \\__/     |_|   |___/  ._________________.     |\n",
    "|                                                                          |\n",
};

constexpr const char* kNameLine =
    "|           K   E   L   V   A      R   A   N   K      V   T   S            |\n";

// The footer's credit, centred between dashes in the 68 columns between "/" and "\".
constexpr std::string_view kCredit = " KelvaRANK VTS for Linux - benchmark results report ";

const char* SectionTitle(Section s) {
  switch (s) {
    case Section::Processor:
      return "|                          C P U   R E S U L T S                           |\n";
    case Section::Memory:
      return "|                       M E M O R Y   R E S U L T S                        |\n";
    case Section::Drive:
      return "|                  H A R D   D R I V E   R E S U L T S                     |\n";
  }
  return "";
}

struct TotalForms {
  const char* scored;
  const char* disabled;
};

TotalForms SectionTotalForms(Section s) {
  switch (s) {
    case Section::Processor:
      return {"|    T O T A L   - C P U -   K e l v a R A N K S : %3lu.%0.2lu Percent          |\n",
              "|    T O T A L   - C P U -   K e l v a R A N K S : DISABLED                |\n"};
    case Section::Memory:
      return {"|    T O T A L   - M E M -   K e l v a R A N K S : %3lu.%0.2lu Percent          |\n",
              "|    T O T A L   - M E M -   K e l v a R A N K S : DISABLED                |\n"};
    case Section::Drive:
      return {"|    T O T A L   - D R V -   K e l v a R A N K S : %3lu.%0.2lu Percent          |\n",
              "|    T O T A L   - D R V -   K e l v a R A N K S : DISABLED                |\n"};
  }
  return {"", ""};
}

constexpr TotalForms kSystemTotalForms = {
    "|    T O T A L   S Y S T E M   K e l v a R A N K S : %3lu.%0.2lu Percent        |\n",
    "|    T O T A L   S Y S T E M   K e l v a R A N K S : DISABLED              |\n"};

void WriteTotalBlock(Context& ctx, const TotalForms& forms, ScoreSlot total) {
  ReportLine(ctx, OpenRule());
  ReportLine(ctx, OpeningLine());
  ReportLine(ctx, EmptyLine());
  if (total.counts())
    ReportFixed2(ctx, forms.scored, total.percent);
  else
    ReportLine(ctx, forms.disabled);
  ReportLine(ctx, ClosingLine());
  ReportLine(ctx, SectionRule());
}

// Value lines: "|   " + 23-column label + ": " + value + blanks + "|".
void TextLine(Context& ctx, const char* label, std::string_view value) {
  std::string v(value);
  ReportFormat(ctx, "|   %-23s: %-44s  |\n", label, v.c_str());
}
void NumberLine(Context& ctx, const char* label, uint64_t value) {
  ReportFormat(ctx, "|   %-23s: %-10lu                                    |\n", label, (unsigned long)value);
}
void HexLine(Context& ctx, const char* label, uint64_t value) {
  ReportFormat(ctx, "|   %-23s: %-#10lX                                    |\n", label, (unsigned long)value);
}
const char* YesNo(uint32_t v) { return v ? "YES" : "NO "; }

// A text field of the drive record, up to its first NUL or its full width.
template <size_t N>
std::string_view FieldText(const char (&field)[N]) {
  return std::string_view(field, strnlen(field, N));
}

void BlockHead(Context& ctx, const char* title) {
  ReportLine(ctx, BlockRule());
  ReportLine(ctx, OpeningLine());
  ReportLine(ctx, title);
  ReportLine(ctx, EmptyLine());
}

// Drive record field numbers (1-based), as the gathering names them.
enum DriveField : int {
  kUnit = 1, kDeviceFlags, kDosType, kLowCyl, kHighCyl, kBlockSize, kBlocksPerTrack, kSurfaces, kMaxTransfer,
  kMask, kNumBuffers, kBufMemType, kInterleave, kTableSize, kReserved, kPreAlloc, kBootBlocks, kHostId, kStepRate,
  kHighlevelValid, kBootPri, kSectorSize, kTotalSectors, kCylinders, kCylSectors, kTrackSectors, kHeads,
  kDeviceType, kGeoBufMemType, kGeoFlags, kLowlevelValid, kNsd, kTd64, kEtd64, kCmd64,
  kQualifier, kPeripheralType, kRemovable, kTypeModifier, kIsoVersion, kEcmaVersion, kAnsiVersion, kAenc,
  kTrmIop, kResponseFormat, kAdditionalLength, kRelAdr, kWBus16, kWBus32, kSync, kLinked, kCmdQue, kSftRe,
};

uint32_t Field(const DriveInfo& d, int n) {
  if (n >= 1 && n <= 35) return d.fields[n - 1];
  if (n >= 36 && n <= 53) return d.inquiry[n - 36];
  return 0;
}

struct KeyedText {
  uint32_t key;
  const char* text;
};
constexpr uint32_t kEndKey = 0xFF;

// Walks the rows in order; the end row (key 0xFF) answers every other key.
const char* Lookup(const KeyedText* rows, uint32_t key) {
  for (;; ++rows)
    if (rows->key == key || rows->key == kEndKey) return rows->text;
}

constexpr KeyedText kDeviceTypes[] = {
    {0x00, "Direct-access device (e.g., magnetic disk)"},
    {0x01, "Sequential-access device (e.g., magnetic tape)"},
    {0x02, "Printer device"},
    {0x03, "Processor device"},
    {0x04, "Write-once device (e.g., some optical disks)"},
    {0x05, "CD-ROM device"},
    {0x06, "Scanner device"},
    {0x07, "Optical memory device (e.g., some optical disks)"},
    {0x08, "Medium Changer device (e.g., jukeboxes)"},
    {0x09, "Communications device"},
    {0x0A, "Defined by ASC IT8 (Graphic Arts Pre-Press Devices)"},
    {0x0B, "Defined by ASC IT8 (Graphic Arts Pre-Press Devices)"},
    {kEndKey, "Reserved, unknown or no device type"},
};
constexpr KeyedText kAnsiTexts[] = {
    {0, "Unknown ANSI-approved standard"},
    {1, "The device complies to SCSI-1"},
    {2, "The device complies to SCSI-2"},
    {kEndKey, "Reserved"},
};
constexpr KeyedText kResponseFormats[] = {
    {0, "SCSI-1"},
    {1, "CCS"},
    {2, "SCSI-2"},
    {kEndKey, "Reserved"},
};

}  // namespace


const char* ScsiDeviceTypeText(uint32_t type) { return Lookup(kDeviceTypes, type); }
const char* ScsiAnsiText(uint32_t version) { return Lookup(kAnsiTexts, version); }
const char* ScsiResponseFormatText(uint32_t format) { return Lookup(kResponseFormats, format); }

void WriteBanner(Context& ctx) {
  ReportLine(ctx, "   " + std::string(70, '_') + "   \n");
  ReportLine(ctx, ".__\\" + std::string(68, ' ') + "/__.\n");
  ReportLine(ctx, kNameLine);
  for (const char* line : kLogo) ReportLine(ctx, line);
  ReportLine(ctx, FrameLine());
  ReportLine(ctx, "|" + std::string(74, ' ') + "!\n");
  ReportLine(ctx, SectionRule());
  ReportLine(ctx, EmptyLine());
  ReportLine(ctx, EmptyLine());
  ReportLine(ctx, "|   < < <    B  E  N  C  H  M  A  R  K      R  E  S  U  L  T  S    > > >   |\n");
  ReportLine(ctx, EmptyLine());
  ReportLine(ctx, EmptyLine());
}

void WriteSectionHeader(Context& ctx, Section s) {
  ReportLine(ctx, SectionRule());
  ReportLine(ctx, OpeningLine());
  ReportLine(ctx, SectionTitle(s));
  ReportLine(ctx, EmptyLine());
}

void WriteSectionTotal(Context& ctx, Section s, ScoreSlot total) {
  WriteTotalBlock(ctx, SectionTotalForms(s), total);
}

void WriteStoppedNote(Context& ctx, std::string_view afterTest) {
  std::string note = afterTest.empty() ? std::string("This run was stopped by the user before its first test ended.")
                                       : "This run was stopped by the user after " + std::string(afterTest) + ".";
  if (note.size() > 71) note.resize(71);
  ReportLine(ctx, EmptyLine());
  ReportFormat(ctx, "|   %-71s|\n", note.c_str());
  ReportLine(ctx, EmptyLine());
}

void WriteSystemTotal(Context& ctx, ScoreSlot total) { WriteTotalBlock(ctx, kSystemTotalForms, total); }

void WriteGeneralBlock(Context& ctx) {
  const SettingsRecord& st = RunSettings(ctx);
  BlockHead(ctx, "|                            G E N E R A L                                 | \n");
  std::string stamp = std::string(ctx.results.text(rec::kModuleDate, rec::kStampWidth)) + " - " +
                      std::string(ctx.results.text(rec::kModuleTime, rec::kStampWidth));
  TextLine(ctx, "Logfile Stamp", stamp);
  ReportLine(ctx, EmptyLine());
  TextLine(ctx, "Mainmodel", HardwareText(ctx, hw::kMainModel));
  TextLine(ctx, "Busboard", HardwareText(ctx, hw::kBusboard));
  TextLine(ctx, "Accelerator", HardwareText(ctx, hw::kAccelerator));
  TextLine(ctx, "Controler", HardwareText(ctx, hw::kController));
  ReportLine(ctx, EmptyLine());
  TextLine(ctx, "OS version", ctx.sysinfo.field(sysrec::kOs));
  TextLine(ctx, "KS version", ctx.sysinfo.field(sysrec::kKs));
  TextLine(ctx, "WB version", ctx.sysinfo.field(sysrec::kWb));
  ReportLine(ctx, EmptyLine());
  TextLine(ctx, "Username", st.text(cfg::kUserName, cfg::kNameWidth));
  TextLine(ctx, "Realname", st.text(cfg::kRealName, cfg::kNameWidth));
  ReportLine(ctx, EmptyLine());
}

void WriteCpuMemoryBlock(Context& ctx) {
  BlockHead(ctx, "|                         C P U / M E M O R Y                              | \n");
  TextLine(ctx, "CPU", ctx.sysinfo.field(sysrec::kCpu));
  TextLine(ctx, "FPU", ctx.sysinfo.field(sysrec::kFpu));
  TextLine(ctx, "MMU", ctx.sysinfo.field(sysrec::kMmu));
  ReportLine(ctx, EmptyLine());
  TextLine(ctx, "Overclocked", OverclockedText(ctx));
  ReportLine(ctx, EmptyLine());
  TextLine(ctx, "Total FAST Ram", ctx.sysinfo.field(sysrec::kTotalFast));
  TextLine(ctx, "Total CHIP Ram", ctx.sysinfo.field(sysrec::kTotalChip));
  ReportLine(ctx, EmptyLine());
}

void WriteDriveBlock(Context& ctx) {
  const DriveInfo& d = ctx.driveInfo;
  auto f = [&](int n) { return Field(d, n); };

  BlockHead(ctx, "|                            H A R D   D R I V E                           | \n");
  ReportLine(ctx, "|  Lowlevel information                                                    |\n");
  ReportLine(ctx, "|  --------------------                                                    |\n");
  ReportLine(ctx, EmptyLine());
  TextLine(ctx, "Device Name", FieldText(d.deviceName));
  NumberLine(ctx, "Device Unit", f(kUnit));
  NumberLine(ctx, "Device Flags", f(kDeviceFlags));
  ReportLine(ctx, EmptyLine());
  TextLine(ctx, "NewStyleDevice [NSD]", YesNo(f(kNsd)));
  TextLine(ctx, "Support 64bit cmds", YesNo(f(kTd64)));
  TextLine(ctx, "Support ETD 64bit cmds", YesNo(f(kEtd64)));
  ReportLine(ctx, EmptyLine());
  ReportFormat(ctx, "|   Peripherial qualifier  : %lu ", (unsigned long)f(kQualifier));
  ReportFormat(ctx, "%-44s|\n", ScsiDeviceTypeText(f(kPeripheralType)));
  HexLine(ctx, "Peripherial DeviceType", f(kPeripheralType));
  TextLine(ctx, "Removable medium", YesNo(f(kRemovable)));
  HexLine(ctx, "Device type modifier", f(kTypeModifier));
  HexLine(ctx, "ISO Version", f(kIsoVersion));
  HexLine(ctx, "ECMA Version", f(kEcmaVersion));
  ReportFormat(ctx, "|   ANSI-Approved Version  : %lu ", (unsigned long)f(kAnsiVersion));
  ReportFormat(ctx, "%-44s|\n", ScsiAnsiText(f(kAnsiVersion)));
  TextLine(ctx, "AENC", YesNo(f(kAenc)));
  TextLine(ctx, "TERMINATE I/O Proc Msg", YesNo(f(kTrmIop)));
  TextLine(ctx, "Response data format", ScsiResponseFormatText(f(kResponseFormat)));
  HexLine(ctx, "Additional length", f(kAdditionalLength));
  TextLine(ctx, "Relative Adressing", YesNo(f(kRelAdr)));
  TextLine(ctx, "Wide Bus 16 transfers", YesNo(f(kWBus16)));
  TextLine(ctx, "Wide Bus 32 transfers", YesNo(f(kWBus32)));
  TextLine(ctx, "Synchronous transfers", YesNo(f(kSync)));
  TextLine(ctx, "Linked commands", YesNo(f(kLinked)));
  TextLine(ctx, "Tagged CommandQueueing", YesNo(f(kCmdQue)));
  TextLine(ctx, "RESET condition", f(kSftRe) ? "SOFT" : "HARD");
  ReportLine(ctx, EmptyLine());
  TextLine(ctx, "Vendor identification", FieldText(d.vendor));
  TextLine(ctx, "Product identification", FieldText(d.product));
  TextLine(ctx, "Product revision level", FieldText(d.revision));
  TextLine(ctx, "Vendor specific", FieldText(d.vendorSpecific));
  ReportLine(ctx, EmptyLine());
  TextLine(ctx, "Drivesize", SizeText(uint64_t(f(kSectorSize)) * f(kTotalSectors)));
  NumberLine(ctx, "Blocksize (bytes)", f(kSectorSize));
  NumberLine(ctx, "Blocks per Track", f(kTrackSectors));
  NumberLine(ctx, "Blocks per Cylinder", f(kCylSectors));
  NumberLine(ctx, "Total Blocks", f(kTotalSectors));
  NumberLine(ctx, "Total Tracks", uint64_t(f(kCylinders)) * f(kHeads));
  NumberLine(ctx, "Total Cylinders", f(kCylinders));
  NumberLine(ctx, "Tracks per Cyl / Heads", f(kHeads));
  NumberLine(ctx, "BufMem Type", f(kGeoBufMemType));
  NumberLine(ctx, "Flags", f(kGeoFlags));
  ReportLine(ctx, EmptyLine());
  ReportLine(ctx, EmptyLine());

  // The partition's cylinder range, as the environment counts it (32-bit).
  const uint32_t cylinders = f(kHighCyl) - f(kLowCyl) + 1;
  ReportLine(ctx, "|  Highlevel Information                                                   |\n");
  ReportLine(ctx, "|  ---------------------                                                   |\n");
  ReportLine(ctx, EmptyLine());
  // The folder is kept as the file system names it; the report is Latin-1.
  std::string partition(RunSettings(ctx).partition()), latin1;
  if (Utf8ToLatin1(partition, latin1)) partition = latin1;
  TextLine(ctx, "Partitionname", partition);
  TextLine(ctx, "Partitionsize",
           SizeText(uint64_t(cylinders) * f(kSurfaces) * f(kBlocksPerTrack) * f(kBlockSize)));
  TextLine(ctx, "Filesystem ID", DosTypeIdText(f(kDosType)));
  TextLine(ctx, "Filesystem Name", DosTypeNameText(f(kDosType)));
  ReportLine(ctx, EmptyLine());
  NumberLine(ctx, "Blocksize (bytes)", f(kBlockSize));
  NumberLine(ctx, "Blocks per Track", f(kBlocksPerTrack));
  NumberLine(ctx, "Blocks per Cylinder", uint64_t(f(kBlocksPerTrack)) * f(kSurfaces));
  NumberLine(ctx, "Low Cylinder", f(kLowCyl));
  NumberLine(ctx, "High Cylinder", f(kHighCyl));
  NumberLine(ctx, "Total Cylinders", cylinders);
  NumberLine(ctx, "Total Tracks", uint64_t(cylinders) * f(kSurfaces));
  NumberLine(ctx, "Tracks per Cyl / Heads", f(kSurfaces));
  ReportLine(ctx, EmptyLine());
  HexLine(ctx, "MaxTransfer", f(kMaxTransfer));
  HexLine(ctx, "Mask", f(kMask));
  NumberLine(ctx, "DosBuffers", f(kNumBuffers));
  NumberLine(ctx, "BufMemType", f(kBufMemType));
  NumberLine(ctx, "Interleave", f(kInterleave));
  NumberLine(ctx, "Reserved Blocks", f(kReserved));
  NumberLine(ctx, "PreAlloc Blocks", f(kPreAlloc));
  NumberLine(ctx, "Boot Blocks", f(kBootBlocks));
  NumberLine(ctx, "Boot Priority", f(kBootPri));
  NumberLine(ctx, "HostID", f(kHostId));
  NumberLine(ctx, "Step Rate", f(kStepRate));
  ReportLine(ctx, ClosingLine());
}

void WriteSystemInformation(Context& ctx) {
  ReportLine(ctx, EmptyLine());
  ReportLine(ctx, EmptyLine());
  ReportLine(ctx, "|  < < <    S  Y  S  T  E  M     I  N  F  O  R  M  A  T  I  O  N    > > >  |\n");
  ReportLine(ctx, EmptyLine());
  ReportLine(ctx, EmptyLine());
  WriteGeneralBlock(ctx);
  WriteCpuMemoryBlock(ctx);
  WriteDriveBlock(ctx);
}

void WriteFooter(Context& ctx) {
  ReportLine(ctx, FrameLine());
  ReportLine(ctx, FrameLine());
  ReportLine(ctx, kNameLine);
  ReportLine(ctx, ".__" + std::string(68, ' ') + "_ __.\n");
  const size_t left = (68 - kCredit.size()) / 2;
  std::string credit = std::string(left, '-') + std::string(kCredit) + std::string(68 - kCredit.size() - left, '-');
  ReportLine(ctx, "  /" + credit + "\\    \n");
  ReportLine(ctx, " /" + std::string(70, '_') + "\\   \n");
}

void AppendErrorLogToReport(Context& ctx) {
  if (!ctx.report.open) return;
  const std::string rule = SectionRule();
  const std::string empty = EmptyLine();
  ReportLine(ctx, rule);
  ReportLine(ctx, OpeningLine());
  ReportLine(ctx, "|                              E R R O R S                                 |\n");
  ReportLine(ctx, empty);
  if (ctx.errorLog.entries.empty()) {
    ReportLine(ctx, "| No Errors...                                                             |\n");
  } else {
    long n = 0;
    for (const ErrorEntry& e : ctx.errorLog.entries) {
      ReportFormat(ctx, "| ERROR NO: %ld\n", ++n);
      ReportFormat(ctx, "| LOCATION: %s\n", e.location);
      ReportFormat(ctx, "| FUNCTION: %s\n", e.function);
      ReportFormat(ctx, "| REASON  : %s\n", e.reason);
      ReportLine(ctx, empty);
    }
  }
  ReportLine(ctx, ClosingLine());
  ReportLine(ctx, rule);
}

}  // namespace kr
