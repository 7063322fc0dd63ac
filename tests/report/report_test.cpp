// The report primitives, the size text and the report's own blocks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include "engine/errorlog.h"
#include "report/frame.h"
#include "report/report.h"
#include "support/fixed_clock_context.h"
#include "support/report_file.h"
#include "support/test_context.h"
#include "util/numtext.h"

namespace kr {
namespace {

TEST(SizeText, GroupsOfThreeDigitsWithOneDecimalAndAUnit) {
  struct Case {
    uint64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0"},
      {999, "999"},
      {1000, "1.0K"},
      {999999, "999.9K"},
      {1048576, "1.0M"},
      {1500000, "1.5M"},
      {40020000000ull, "40.0G"},
      {1000000000000ull, "1.0T"},
      // Groups above the tera unit carry no letter and the walk goes on to T.
      {1234567890123456ull, "1.234.5T"},
      {UINT64_MAX, "18.446.744.0T"},
  };
  for (const Case& c : cases) EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
}

TEST(ReportPrimitives, FixedPointIsTruncatedNeverRounded) {
  test::TestContext t;
  struct Case {
    const char* format;
    int decimals;
    double value;
    const char* text;
  } cases[] = {
      {"%3lu.%0.2lu", 2, 100.0, "100.00"},  {"%3lu.%0.2lu", 2, 0.999, "  0.99"},
      {"%3lu.%0.2lu", 2, 12.05, " 12.05"},  {"%lu.%0.2lu", 2, 2.999, "2.99"},
      {"%lu.%0.2lu", 2, 1.05, "1.05"},      {"%4lu.%0.1lu", 1, 5000.0, "5000.0"},
      {"%2lu.%0.1lu", 1, 0.96, " 0.9"},     {"%8lu.%0.2lu", 2, 12345678.9, "12345678.90"},
      {"%3lu.%0.2lu", 2, 0.0, "  0.00"},
  };
  std::string out = test::CaptureReport(t.ctx, "fixed.txt", [&] {
    for (const Case& c : cases) {
      std::string fmt = std::string(c.format) + "\n";
      if (c.decimals == 1)
        ReportFixed1(t.ctx, fmt.c_str(), c.value);
      else
        ReportFixed2(t.ctx, fmt.c_str(), c.value);
    }
  });
  std::vector<std::string> lines = test::SplitLines(out);
  ASSERT_EQ(lines.size(), std::size(cases));
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], cases[i].text) << cases[i].value;
}

TEST(ReportPrimitives, SilentWhileClosed) {
  test::TestContext t;
  test::UseReportFile(t.ctx, "never.txt");
  ReportLine(t.ctx, "x\n");
  ReportFormat(t.ctx, "%lu\n", 1ul);
  ReportFixed2(t.ctx, "%lu.%0.2lu\n", 1.5);
  WriteBanner(t.ctx);
  EXPECT_EQ(t.ctx.dos.FileSize(t.ctx.settings.reportFile()), -1);
}

// A drive record as a gathering on a 40 GB SCSI-2 disk would leave it.
void FillDrive(DriveInfo& d) {
  const uint32_t numbers[35] = {3,          0,         0x444F5303, 2,  1001, 512, 63, 16, 0x1FE00, 0x7FFFFFFE,
                                80,         1,         0,          11, 2,    0,   2,  0,  0,       1,
                                0xFFFFFFFB, 512,       78140160,   77520, 1008, 63, 16, 0, 1, 0,
                                1,          1,         1,          0,  1};
  std::copy(std::begin(numbers), std::end(numbers), d.fields);
  // qualifier, type, removable, modifier, ISO, ECMA, ANSI, AENC, TrmIOP,
  // response format, additional length, RelAdr, WBus16, WBus32, Sync, Linked, CmdQue, SftRe
  const uint32_t inquiry[18] = {0, 0, 0, 0, 0, 0, 2, 0, 0, 2, 0x1F, 0, 1, 0, 1, 0, 1, 0};
  std::copy(std::begin(inquiry), std::end(inquiry), d.inquiry);
  std::strcpy(d.vendor, "ACME");
  std::strcpy(d.product, "FastDisk 40");
  std::strcpy(d.revision, "1.0");
  std::strcpy(d.deviceName, "/dev/sdz");
}

// Every block the frame writes, with values of their nominal widths.
void WriteAllBlocks(Context& ctx) {
  WriteBanner(ctx);
  for (Section s : {Section::Processor, Section::Memory, Section::Drive}) {
    WriteSectionHeader(ctx, s);
    WriteSectionTotal(ctx, s, {55.0, 1.0});
    WriteSectionTotal(ctx, s, {0.0, 0.0});
  }
  WriteSystemTotal(ctx, {100.0, 1.0});
  WriteSystemTotal(ctx, {0.0, 0.0});
  WriteSystemInformation(ctx);
  AppendErrorLogToReport(ctx);
  WriteFooter(ctx);
}

class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    FillDrive(ctx.driveInfo);
    ctx.results.set_text(rec::kModuleDate, rec::kStampWidth, "14.06.03");
    ctx.results.set_text(rec::kModuleTime, rec::kStampWidth, "12.34.56");
    ctx.settings.set_text(cfg::kPartition, cfg::kPartitionWidth, "/mnt/bench");
    ctx.sysinfo.setField(sysrec::kCpu, "Test CPU");
    ctx.sysinfo.setField(sysrec::kTotalFast, "1073.74 MB");
    ctx.sysinfo.setField(sysrec::kTotalChip, "Not avail");
  }
  std::vector<std::string> Lines(void (*write)(Context&)) {
    return test::SplitLines(test::CaptureReport(ctx, "frame.txt", [&] { write(ctx); }));
  }
  static bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  test::FixedClockContext t;
  Context& ctx = t.ctx;
};

TEST_F(Frame, EveryLineIsSeventySixColumns) {
  std::vector<std::string> lines = Lines(WriteAllBlocks);
  // The three information block titles carry one blank after their border.
  const std::vector<std::string> titled = {
      "|                            G E N E R A L                                 | ",
      "|                         C P U / M E M O R Y                              | ",
      "|                            H A R D   D R I V E                           | "};
  int titles = 0;
  for (const std::string& l : lines) {
    if (std::find(titled.begin(), titled.end(), l) != titled.end()) {
      ++titles;
      continue;
    }
    EXPECT_EQ(l.size(), 76u) << "[" << l << "]";
  }
  EXPECT_EQ(titles, 3);
}

TEST_F(Frame, BannerAndFooterShapes) {
  std::vector<std::string> banner = Lines(WriteBanner);
  ASSERT_EQ(banner.size(), 22u);
  EXPECT_EQ(banner[0], "   " + std::string(70, '_') + "   ");
  EXPECT_EQ(banner[1], ".__\\" + std::string(68, ' ') + "/__.");
  for (int i = 3; i < 14; ++i) {  // the logo: "|", line art, "|"
    const std::string& l = banner[size_t(i)];
    EXPECT_EQ(l.front(), '|');
    EXPECT_EQ(l.back(), '|');
    EXPECT_EQ(l.substr(1, 74).find_first_not_of(" _/\\()|."), std::string::npos) << l;
  }
  EXPECT_EQ(banner[14], "\xA6" + std::string(74, ' ') + "\xA6");
  EXPECT_EQ(banner[15], "|" + std::string(74, ' ') + "!");

  std::vector<std::string> footer = Lines(WriteFooter);
  ASSERT_EQ(footer.size(), 6u);
  EXPECT_EQ(footer[3], ".__" + std::string(68, ' ') + "_ __.");
  EXPECT_EQ(footer[4].substr(0, 3), "  /");
  EXPECT_EQ(footer[4][71], '\\');
  EXPECT_EQ(footer[5], " /" + std::string(70, '_') + "\\   ");
}

TEST_F(Frame, TotalLinesScoredAndDisabled) {
  std::vector<std::string> lines = test::SplitLines(test::CaptureReport(ctx, "totals.txt", [&] {
    WriteSectionTotal(ctx, Section::Processor, {55.0, 1.0});
    WriteSectionTotal(ctx, Section::Memory, {73.5, 0.0});  // a percent without valid is not scored
    WriteSystemTotal(ctx, {9.999, 1.0});
  }));
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[0], "\xB7" + std::string(74, ' ') + "\xB7");
  EXPECT_EQ(lines[3], "|    T O T A L   - C P U -   K e l v a R A N K S :  55.00 Percent          |");
  EXPECT_EQ(lines[5], "\xB7" + std::string(74, '=') + "\xB7");
  EXPECT_EQ(lines[9], "|    T O T A L   - M E M -   K e l v a R A N K S : DISABLED                |");
  EXPECT_EQ(lines[15], "|    T O T A L   S Y S T E M   K e l v a R A N K S :   9.99 Percent        |");
}

TEST_F(Frame, DriveBlockReadsTheRecord) {
  std::vector<std::string> lines = Lines(WriteDriveBlock);
  const char* expected[] = {
      "|   Device Name            : /dev/sdz                                      |",
      "|   Device Unit            : 3                                             |",
      "|   NewStyleDevice [NSD]   : YES                                           |",
      "|   Support ETD 64bit cmds : NO                                            |",
      "|   Peripherial qualifier  : 0 Direct-access device (e.g., magnetic disk)  |",
      "|   Peripherial DeviceType : 0                                             |",
      "|   ANSI-Approved Version  : 2 The device complies to SCSI-2               |",
      "|   Response data format   : SCSI-2                                        |",
      "|   Additional length      : 0X1F                                          |",
      "|   Wide Bus 16 transfers  : YES                                           |",
      "|   RESET condition        : HARD                                          |",
      "|   Product identification : FastDisk 40                                   |",
      "|   Drivesize              : 40.0G                                         |",
      "|   Total Tracks           : 1240320                                       |",
      "|   Partitionname          : /mnt/bench                                    |",
      "|   Partitionsize          : 516.0M                                        |",
      "|   Filesystem ID          : 0x444F5303 [DOS3]                             |",
      "|   Filesystem Name        : Fast FileSystem International                 |",
      "|   Blocks per Cylinder    : 1008                                          |",
      "|   Total Cylinders        : 1000                                          |",
      "|   Total Tracks           : 16000                                         |",
      "|   MaxTransfer            : 0X1FE00                                       |",
      "|   Mask                   : 0X7FFFFFFE                                    |",
      "|   Boot Priority          : 4294967291                                    |",
      "|   Step Rate              : 0                                             |",
  };
  for (const char* e : expected) EXPECT_TRUE(Has(lines, e)) << e;
  EXPECT_EQ(lines.back(), "!" + std::string(74, ' ') + "!");
}

TEST_F(Frame, UngatheredDriveRecordStillPrints) {
  ctx.driveInfo = DriveInfo{};
  std::strcpy(ctx.driveInfo.vendor, "Unknown");
  std::vector<std::string> lines = Lines(WriteDriveBlock);
  EXPECT_TRUE(Has(lines, "|   Drivesize              : 0                                             |"));
  EXPECT_TRUE(Has(lines, "|   Filesystem Name        : Unknown                                       |"));
  EXPECT_TRUE(Has(lines, "|   Vendor identification  : Unknown                                       |"));
}

TEST_F(Frame, GeneralBlockCarriesStampAndUser) {
  std::vector<std::string> lines = Lines(WriteGeneralBlock);
  EXPECT_TRUE(Has(lines, "|   Logfile Stamp          : 14.06.03 - 12.34.56                           |"));
  EXPECT_TRUE(Has(lines, "|   Username               : (Your Username)                               |"));
  EXPECT_TRUE(Has(lines, "|   Realname               : (Your Realname)                               |"));
  std::vector<std::string> cpu = Lines(WriteCpuMemoryBlock);
  EXPECT_TRUE(Has(cpu, "|   CPU                    : Test CPU                                      |"));
  EXPECT_TRUE(Has(cpu, "|   Total CHIP Ram         : Not avail                                     |"));
}

TEST_F(Frame, LongValueMovesOnlyItsOwnBorder) {
  const std::string name(45, 'p');
  ctx.settings.set_text(cfg::kPartition, cfg::kPartitionWidth, name);
  std::vector<std::string> lines = Lines(WriteDriveBlock);
  auto it = std::find(lines.begin(), lines.end(), "|   Partitionname          : " + name + "  |");
  ASSERT_NE(it, lines.end());
  EXPECT_EQ(it->size(), 77u);
  EXPECT_EQ((it + 1)->size(), 76u);
}

// The partition folder is kept as the file system names it (UTF-8); the
// Latin-1 report shows it in Latin-1, and bytes that are no UTF-8 as they are.
TEST_F(Frame, PartitionNameIsLatin1InTheReport) {
  const std::pair<const char*, const char*> cases[] = {
      {"/mnt/M\xC3\xBCller", "/mnt/M\xFCller"},
      {"/mnt/M\xFCller", "/mnt/M\xFCller"},
  };
  for (const auto& [path, shown] : cases) {
    ctx.settings.set_text(cfg::kPartition, cfg::kPartitionWidth, path);
    std::vector<std::string> lines = Lines(WriteDriveBlock);
    std::string want = "|   Partitionname          : " + std::string(shown);
    want += std::string(76 - 1 - want.size(), ' ') + "|";
    EXPECT_TRUE(Has(lines, want)) << path;
  }
}

TEST(ScsiAndDosTexts, KeyedLookupsFallBackToTheirEndRow) {
  EXPECT_STREQ(ScsiDeviceTypeText(0x05), "CD-ROM device");
  EXPECT_STREQ(ScsiDeviceTypeText(0x0B), "Defined by ASC IT8 (Graphic Arts Pre-Press Devices)");
  EXPECT_STREQ(ScsiDeviceTypeText(0x1F), "Reserved, unknown or no device type");
  EXPECT_STREQ(ScsiDeviceTypeText(0xFF), "Reserved, unknown or no device type");
  EXPECT_STREQ(ScsiAnsiText(1), "The device complies to SCSI-1");
  EXPECT_STREQ(ScsiAnsiText(5), "Reserved");
  EXPECT_STREQ(ScsiResponseFormatText(1), "CCS");
  EXPECT_STREQ(ScsiResponseFormatText(3), "Reserved");
  EXPECT_STREQ(DosTypeIdText(0x50465303), "0x50465303 [PFS3]");
  EXPECT_STREQ(DosTypeNameText(0x53465301), "Smart FileSystem");
  EXPECT_STREQ(DosTypeIdText(0xEF53), "0x0000EF53 [EXT4]");  // Linux file systems have their own rows
  EXPECT_STREQ(DosTypeIdText(0x01021994), "Unknown");      // tmpfs: no block device, no row
  EXPECT_STREQ(DosTypeNameText(0), "Unknown");
}

// The real dos layer, with one call made to fail as the system would.
class FailingDos : public LinuxDos {
 public:
  using LinuxDos::LinuxDos;
  std::string failing;  // "write", "fsync", "close" or "rename"
  int64_t Write(int64_t fh, const void* buf, int64_t len) override {
    if (failing == "write") return Fail("write", "x", ENOSPC), -1;
    return LinuxDos::Write(fh, buf, len);
  }
  bool Sync(int64_t fh) override { return failing == "fsync" ? Fail("fsync", "x", EIO) : LinuxDos::Sync(fh); }
  bool Close(int64_t fh) override {
    bool ok = LinuxDos::Close(fh);
    return failing == "close" ? Fail("close", "x", EDQUOT) : ok;
  }
  bool Rename(std::string_view from, std::string_view to) override {
    return failing == "rename" ? Fail("rename", "x", EXDEV) : LinuxDos::Rename(from, to);
  }
};

struct ReportFiles : ::testing::Test, test::BasicTestContext<FailingDos> {
  std::string path = home.path() + "/r.txt";

  void SetUp() override {
    ctx.settings.set_text(cfg::kReportFile, cfg::kPathWidth, "PROGDIR:r.txt");
  }
  void Write(const char* text) {
    OpenReport(ctx);
    ReportLine(ctx, text);
    CloseReport(ctx);
  }
  std::vector<std::string> Files() {
    std::vector<DirEntry> list;
    dos.ListDir("PROGDIR:", list);
    std::vector<std::string> names;
    for (const DirEntry& e : list)
      if (!e.isDir) names.push_back(e.name);  // the home's own folders aside
    return names;
  }
};

TEST_F(ReportFiles, ANewReportReplacesTheOldOneWhole) {
  std::ofstream(path) << "an older report\n";
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  OpenReport(ctx);
  ReportLine(ctx, "new\n");
  EXPECT_EQ(test::ReadReport(ctx), "an older report\n");  // untouched while the run writes
  CloseReport(ctx);
  EXPECT_EQ(ctx.report.error, "");
  EXPECT_EQ(test::ReadReport(ctx), "new\n");
  EXPECT_EQ(Files(), std::vector<std::string>{"r.txt"});
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// A report into a string: every line lands in it, whatever the settings say
// (the report switched off here), no file is made, and afterwards the next
// report goes to its file again.
TEST_F(ReportFiles, AReportIntoAStringTouchesNoFile) {
  ctx.settings.set_s32(cfg::kReportEnabled, 0);
  std::string text;
  OpenReportInto(ctx, text);
  ReportLine(ctx, "first\n");
  for (int i = 0; i < 5000; ++i) ReportFormat(ctx, "%lu\n", (unsigned long)i);  // past the flush size
  CloseReport(ctx);
  EXPECT_FALSE(ctx.report.open);
  EXPECT_FALSE(ctx.report.failed);
  EXPECT_EQ(text.substr(0, 8), "first\n0\n");
  EXPECT_EQ(text.substr(text.size() - 5), "4999\n");
  EXPECT_TRUE(Files().empty());
  ReportLine(ctx, "closed\n");
  EXPECT_EQ(text.find("closed"), std::string::npos);

  ctx.settings.set_s32(cfg::kReportEnabled, 1);
  Write("to the file\n");
  EXPECT_EQ(test::ReadReport(ctx), "to the file\n");
}

// A failure anywhere keeps the older report, leaves no temporary file and
// says which call failed on which file, and why.
TEST_F(ReportFiles, AFailedWriteKeepsTheOlderReport) {
  const std::pair<const char*, const char*> cases[] = {
      {"write", "write %s: No space left on device"},
      {"fsync", "fsync %s: Input/output error"},
      {"close", "close %s: Disk quota exceeded"},
      {"rename", "rename %s: Invalid cross-device link"},
  };
  for (const auto& [call, error] : cases) {
    SCOPED_TRACE(call);
    std::ofstream(path, std::ios::trunc) << "an older report\n";
    ClearErrorLog(ctx);
    dos.failing = call;
    Write("new\n");
    EXPECT_EQ(ctx.report.error, Format(error, path.c_str()));
    EXPECT_EQ(test::ReadReport(ctx), "an older report\n");
    EXPECT_EQ(Files(), std::vector<std::string>{"r.txt"});
    ASSERT_EQ(ctx.errorLog.entries.size(), 1u);
    EXPECT_STREQ(ctx.errorLog.entries[0].reason, "Cant write output file");
    // The next report is sound again.
    dos.failing.clear();
    Write("new\n");
    EXPECT_EQ(ctx.report.error, "");
    EXPECT_EQ(test::ReadReport(ctx), "new\n");
  }
}

// Only a regular file or a new name is a report target: a link is not
// followed and a folder or device is refused, all before anything is written.
TEST_F(ReportFiles, TargetsThatAreNotRegularFilesAreRefused) {
  const std::string other = home.path() + "/other.txt";
  std::ofstream(other) << "someone else's file\n";
  ASSERT_EQ(::symlink(other.c_str(), path.c_str()), 0);
  Write("new\n");
  EXPECT_NE(ctx.report.error.find("open " + path + ": "), std::string::npos) << ctx.report.error;
  EXPECT_NE(ctx.report.error.find("link"), std::string::npos) << ctx.report.error;
  EXPECT_EQ(test::ReadReport(ctx), "someone else's file\n");
  ASSERT_EQ(::unlink(path.c_str()), 0);

  ASSERT_EQ(::symlink((home.path() + "/missing.txt").c_str(), path.c_str()), 0);  // dangling
  Write("new\n");
  EXPECT_FALSE(ctx.report.error.empty());
  EXPECT_EQ(Files(), (std::vector<std::string>{"other.txt", "r.txt"}));
  ASSERT_EQ(::unlink(path.c_str()), 0);

  ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
  Write("new\n");
  EXPECT_NE(ctx.report.error.find("open " + path + ": "), std::string::npos) << ctx.report.error;
  ASSERT_EQ(::rmdir(path.c_str()), 0);

  ctx.settings.set_text(cfg::kReportFile, cfg::kPathWidth, "/dev/full");
  Write("new\n");
  EXPECT_EQ(ctx.report.error.rfind("open /dev/full: ", 0), 0u) << ctx.report.error;
  ASSERT_FALSE(ctx.errorLog.entries.empty());
  EXPECT_STREQ(ctx.errorLog.entries.back().reason, "Cant open output file");
  EXPECT_EQ(Files(), std::vector<std::string>{"other.txt"});

  // A run that never reaches its close leaves no report and no empty file.
  ctx.settings.set_text(cfg::kReportFile, cfg::kPathWidth, "PROGDIR:r.txt");
  OpenReport(ctx);
  EXPECT_TRUE(ctx.report.open);
  EXPECT_EQ(::access(path.c_str(), F_OK), -1);
  CloseReport(ctx);
}

TEST(Locale, ReportBytesDoNotDependOnLcAll) {
  auto build = [] {
    test::FixedClockContext t;
    FillDrive(t.ctx.driveInfo);
    LogError(t.ctx, "CPU", "ZLib", "Could not get source-buffer");
    return test::CaptureReport(t.ctx, "locale.txt", [&] {
      WriteAllBlocks(t.ctx);
      ReportFixed2(t.ctx, "%8lu.%0.2lu\n", 1234567.891);
      ReportFormat(t.ctx, "%-10lu|%-#10lX|%ld\n", 1234567ul, 0xABCDEFul, -42l);
      ReportLine(t.ctx, SizeText(40020000000ull) + "\n");
    });
  };
  std::string saved = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  const std::string reference = build();
  // A decimal-comma locale (scripts/setup generates it); the C library must
  // really format with it, or the comparison would prove nothing.
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "de_DE.UTF-8 is not installed: run scripts/setup";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  const std::string comma = probe;
  const std::string other = build();
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(comma, "1,5");
  EXPECT_EQ(other, reference);
}

}  // namespace
}  // namespace kr
