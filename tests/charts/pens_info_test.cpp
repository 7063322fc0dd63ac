#include <gtest/gtest.h>

#include "charts/module_info.h"
#include "charts/pens.h"
#include "modules/module_fixture.h"
#include "modules/module_record.h"

namespace kr::test {
namespace {

TEST(PenTextColor, ReadsBothFormsAndFallsBackPerRole) {
  EXPECT_EQ(PenTextColor("rFFFFFFFF,80000000,00000000", disp::kPenModule1), (Rgb{0xFF, 0x80, 0x00}));
  EXPECT_EQ(PenTextColor("r12345678,9ABCDEF0,0FEDCBA9", disp::kPenChart), (Rgb{0x12, 0x9A, 0x0F}));
  EXPECT_EQ(PenTextColor("m5", disp::kPenModule2), ToolkitPenColor(5));
  // Unreadable texts: the role's built-in colour.
  const Rgb red{0xFF, 0, 0}, white{0xFF, 0xFF, 0xFF};
  for (std::string_view bad : {"", "garbage", "rFFFFFFFF,00000000", "rGGGGGGGG,00000000,00000000", "m", "m9",
                               "m-1", "p12", "rFFFFFFFF,00000000,00000000x"}) {
    EXPECT_EQ(PenTextColor(bad, disp::kPenModule1), red) << bad;
    EXPECT_EQ(PenTextColor(bad, disp::kPenThisSession), white) << bad;
    EXPECT_EQ(PenTextColor(bad, disp::kPenBackground), ToolkitPenColor(2)) << bad;
  }
  EXPECT_EQ(PenTextColor("junk", 99), Rgb{});
}

TEST(PenTextColor, PaletteOfTheDisplayRecord) {
  DisplayRecord d;
  SetDisplayDefaults(d);
  d.pens[disp::kPenModule3] = RgbPenText(0x10000000, 0x20000000, 0x30000000);
  d.pens[disp::kPenChart].fill(0xFF);  // no terminator, no pen text
  const auto p = ChartPalette(d);
  EXPECT_EQ(p[disp::kPenModule1], (Rgb{0xFF, 0, 0}));
  EXPECT_EQ(p[disp::kPenModule4], (Rgb{0xFF, 0xFF, 0}));
  EXPECT_EQ(p[disp::kPenModule3], (Rgb{0x10, 0x20, 0x30}));
  EXPECT_EQ(p[disp::kPenBackground], ToolkitPenColor(2));
  EXPECT_EQ(p[disp::kPenChart], (Rgb{0, 0, 0}));
}

ModuleDescription Pegasos() {
  ModuleDescription d;
  d.userName = "pilot";
  d.realName = "Ann Example";
  d.mainVendor = "Commodore";
  d.mainModel = "A4000";
  d.mainOther = "Pegasos Hardware";
  d.busVendor = "Phase5";
  d.busModel = "CyberVision";
  d.accelVendor = "None";
  d.accelModel = "ignored";
  d.controllerVendor = "Other";
  d.controllerModel = "";
  d.controllerOther = "Sil 680";
  d.overclocked = "Not avail";
  d.date = "24.12.03";
  d.time = "18.30.00";
  d.serial = "0x0123456789ABCDEF0123456789ABCDEF";
  d.comment = "first line\nsecond line";
  return d;
}

const InfoLine& Line(const ModuleInformation& m, std::string_view label) {
  for (const InfoLine& l : m.lines)
    if (label == l.label) return l;
  ADD_FAILURE() << label;
  static InfoLine none{"", "", ""};
  return none;
}

TEST(ModuleInformation, ComposedLines) {
  const ModuleInformation m = ComposeModuleInformation(Pegasos());
  ASSERT_EQ(m.lines.size(), 28u);
  EXPECT_STREQ(m.lines.front().label, "Username:");
  EXPECT_STREQ(m.lines.back().label, "Module Serial:");
  EXPECT_EQ(Line(m, "Mainmodel:").text, "Pegasos Hardware");
  EXPECT_EQ(Line(m, "Busboard:").text, "Phase5 - CyberVision");
  EXPECT_EQ(Line(m, "Accelerator:").text, "None");
  EXPECT_EQ(Line(m, "SCSI/IDE Controler:").text, "Sil 680");
  EXPECT_EQ(Line(m, "Overclocked:").text, "Not avail");
  EXPECT_EQ(Line(m, "Module Date:").text, "24.12.03 - 18.30.00");
  EXPECT_STREQ(Line(m, "Module Date:").group, "Module");
  EXPECT_EQ(m.comment, "first line\nsecond line");

  // Long fields are cut to the window's buffers: 95 and 63 bytes.
  ModuleDescription d = Pegasos();
  d.mainOther.clear();
  d.mainVendor = std::string(31, 'v');
  d.mainModel = std::string(80, 'm');
  d.date = std::string(31, 'd');
  d.time = std::string(31, 't');
  const ModuleInformation cut = ComposeModuleInformation(d);
  EXPECT_EQ(Line(cut, "Mainmodel:").text, std::string(31, 'v') + " - " + std::string(61, 'm'));
  EXPECT_EQ(Line(cut, "Module Date:").text.size(), 63u);
}

TEST(ModuleInformation, EmptySlotShowsAnEmptyWindow) {
  const ModuleInformation m = ComposeModuleInformation(ModuleDescription{});
  for (const InfoLine& l : m.lines) EXPECT_EQ(l.text, "") << l.label;
  EXPECT_EQ(m.comment, "");
}

TEST(MaximumValues, OneLinePerCatalogueTest) {
  const auto lines = MaximumValueLines();
  ASSERT_EQ(lines.size(), 52u);
  struct Want {
    size_t i;
    const char *label, *reference, *weight;
  } wants[] = {
      {0, "Bogomips:", "5000.00 Bogomips", "80.00%"},
      {1, "Dhrystones:", "10000000.00 Dhrystones/sec", "100.00%"},
      {2, "Fibonacci number:", "1000.00 FiboMHZ", "110.00%"},
      {7, "MP3 2 CDDA:", "100000.00 Frames/sec", "80.00%"},
      {9, "ZLib functions:", "100.00 MB/sec", "100.00%"},
      {10, "Read CPU cache:", "10000.00 MB/sec", "80.00%"},
      {36, "Create files:", "10000.00 OP/sec", "120.00%"},
      {46, "Seek in file:", "200000.00 OP/sec", "100.00%"},
      {48, "Read from device:", "500.00 MB/sec", "110.00%"},
      {50, "Seek on device:", "0.00 msecs", "150.00%"},
      {51, "SpinUP device:", "0.00 secs", "50.00%"},
  };
  for (const Want& w : wants) {
    EXPECT_EQ(lines[w.i].label, w.label);
    EXPECT_EQ(lines[w.i].reference, w.reference) << w.label;
    EXPECT_EQ(lines[w.i].weight, w.weight) << w.label;
  }
}

}  // namespace
}  // namespace kr::test

namespace kr::test {
namespace {

// A module made on this system, read back field by field into the window.
TEST(ModuleInformation, FromAMadeModule) {
  ModuleContext t;
  FillModuleDescription(t.ctx, t.ctx.results);
  const ModuleInformation m = ComposeModuleInformation(DescribeModule(t.ctx.results));
  EXPECT_EQ(Line(m, "Username:").text, "Tester");
  EXPECT_EQ(Line(m, "Mainmodel:").text, "Micronik - A4000 Tower");
  EXPECT_EQ(Line(m, "Busboard:").text, "None");
  EXPECT_EQ(Line(m, "Accelerator:").text, "HomeBrew 060");
  EXPECT_EQ(Line(m, "CPU:").text, "Test CPU 3.0GHz");
  EXPECT_EQ(Line(m, "Device:").text, "/dev/sdz");
  EXPECT_EQ(Line(m, "Module Serial:").text, std::string(ModuleSerial(t.ctx.results)));
  EXPECT_EQ(Line(m, "Module Date:").text,
            std::string(t.ctx.results.text(rec::kModuleDate, 32)) + " - " +
                std::string(t.ctx.results.text(rec::kModuleTime, 32)));
  EXPECT_EQ(Line(m, "Native Build:").text, NativeBuildText());
  EXPECT_EQ(m.comment, "A module of the test suite.");

  // Made on a host without chip memory.
  t.ctx.run.noChipMemory = 1;
  FillModuleDescription(t.ctx, t.ctx.results);
  const ModuleInformation p = ComposeModuleInformation(DescribeModule(t.ctx.results));
  EXPECT_EQ(Line(p, "Mainmodel:").text, "Pegasos Hardware");
  EXPECT_EQ(Line(p, "Overclocked:").text, "Not avail");
}

}  // namespace
}  // namespace kr::test
