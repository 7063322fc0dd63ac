// The module windows on the offscreen platform: the chart widget, the
// Module Information and Maximum Values windows, and the Module Base window's
// buttons against real databases and loopback servers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>

#include "charts/chart_draw.h"
#include "gui/chart_widget.h"
#include "gui/max_values_window.h"
#include "gui/module_info_window.h"
#include "modules/module_base.h"
#include "modules/module_fixture.h"
#include "net/net_fixture.h"

namespace kr::test {
namespace {

namespace nf = net_files;

// A Local module of `user` whose Mars Cipher figures are a, b, c.
std::string StoreMars(Context& ctx, const std::string& user, double a, double b, double c) {
  ModuleRecord m = ctx.results;
  m.setFigure(0x188, a);
  m.setFigure(0x190, b);
  m.setFigure(0x198, c);
  ctx.settings.set_text(cfg::kUserName, cfg::kNameWidth, user);
  FillModuleDescription(ctx, m);
  const std::string serial(ModuleSerial(m));
  EXPECT_TRUE(WriteModuleFile(ctx, LocalModulePath(serial), m));
  ctx.modules.local.push_back(MakeIndexEntry(m));
  return serial;
}

QImage Grab(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// The widget draws exactly what the chart code draws on an image of its
// size, with the slots the module base loaded, and draws again when the
// choice changes.
TEST(ChartWidget, DrawsTheChosenSlotsAsTheChartCodeDoes) {
  ModuleContext t;
  Context& ctx = t.ctx;
  SetDisplayDefaults(ctx.display);
  const std::string a = StoreMars(ctx, "ann", 300, 600, 150), b = StoreMars(ctx, "bob", 900, 100, 100);
  ASSERT_EQ(LoadModuleIntoSlot(ctx, 1, a), ModuleRead::Ok);
  ASSERT_EQ(LoadModuleIntoSlot(ctx, 3, b), ModuleRead::Ok);

  ChartWidget w;
  w.resize(640, 400);
  ChartState state;
  SetMasterSection(state, master::kProcessor);
  state.slaveSection = cpu::kMars;
  w.setChartState(state);
  w.setSources(ChartSourcesOf(ctx));
  w.setColors(ChartPalette(ctx.display));
  const QImage shown = Grab(w);
  ASSERT_EQ(shown.size(), QSize(640, 400));

  QImage expected(640, 400, QImage::Format_RGB32);
  RenderChart(expected, BuildChartModel(state, ChartSourcesOf(ctx)), ChartPalette(ctx.display), 0.0,
              MappedFont(kChartFontSize));
  EXPECT_EQ(shown, expected);

  // The two slots' bars stand in their lanes: slot 1 is lane 1, slot 3 lane 2.
  const auto palette = ChartPalette(ctx.display);
  auto is = [&](int x, int y, int role) {
    const Rgb c = palette[size_t(role)];
    return (shown.pixel(x, y) & 0xFFFFFF) == (qRgb(c.r, c.g, c.b) & 0xFFFFFF);
  };
  const double W = (639 - 102) / 4.0, Lw = W / 3;
  const int plotBottom = 399 - 21;
  EXPECT_TRUE(is(int(99 + Lw) + 1, plotBottom - 2, disp::kPenModule1));
  EXPECT_TRUE(is(int(99 + 2 * Lw) + 1, plotBottom - 2, disp::kPenModule3));

  // Hiding slot 3 takes its lane away.
  state.showModule[2] = false;
  w.setChartState(state);
  const QImage hidden = Grab(w);
  EXPECT_NE(hidden, shown);
  int module3 = 0;
  for (int y = 0; y < hidden.height(); ++y)
    for (int x = 0; x < hidden.width(); ++x) {
      const Rgb c = palette[disp::kPenModule3];
      module3 += (hidden.pixel(x, y) & 0xFFFFFF) == (qRgb(c.r, c.g, c.b) & 0xFFFFFF);
    }
  EXPECT_EQ(module3, 0);
}

// A module with an "Other" accelerator, no busboard and Latin-1 texts; an
// empty slot shows an all-empty window.
TEST(ModuleInfoWindow, ShowsTheSlotsModule) {
  ModuleContext t;
  Context& ctx = t.ctx;
  ctx.settings.set_text(cfg::kRealName, cfg::kNameWidth, "J\xF6rg M\xFCller");
  ctx.settings.setModuleComment("Line one\nLine two \xB7 three");
  const std::string serial = StoreMars(ctx, "joerg", 1, 2, 3);
  ASSERT_EQ(LoadModuleIntoSlot(ctx, 2, serial), ModuleRead::Ok);

  ModuleInfoWindow w(SlotRecord(ctx, 2));
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8("KelvaRANK \u00B7 Module Information"));
  EXPECT_EQ(w.fieldText("Username:"), "joerg");
  EXPECT_EQ(w.fieldText("Realname:"), QString::fromUtf8("J\u00F6rg M\u00FCller"));
  EXPECT_EQ(w.fieldText("Mainmodel:"), "Micronik - A4000 Tower");
  EXPECT_EQ(w.fieldText("Busboard:"), "None");
  EXPECT_EQ(w.fieldText("Accelerator:"), "HomeBrew 060");
  EXPECT_EQ(w.fieldText("CPU:"), "Test CPU 3.0GHz");
  EXPECT_EQ(w.fieldText("Vendor:"), "ATA");
  EXPECT_EQ(w.fieldText("Module Serial:"), QString::fromStdString(serial));
  EXPECT_TRUE(w.fieldText("Module Date:").contains(" - ")) << w.fieldText("Module Date:").toStdString();
  EXPECT_EQ(w.comment(), QString::fromUtf8("Line one\nLine two \u00B7 three"));
  EXPECT_TRUE(w.isModal());

  for (int empty : {1, 3, 4}) {
    ModuleInfoWindow e(SlotRecord(ctx, empty));
    for (const char* label : {"Username:", "Mainmodel:", "Busboard:", "Module Date:", "Module Serial:"})
      EXPECT_EQ(e.fieldText(label), "") << empty << " " << label;
    EXPECT_EQ(e.comment(), "");
  }
}

TEST(MaxValuesWindow, OneLinePerTestInCatalogueOrder) {
  MaxValuesWindow w;
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8("KelvaRANK \u00B7 Maximum Values"));
  const auto& rows = w.rows();
  ASSERT_EQ(rows.size(), 52u);
  EXPECT_EQ(rows[0].label, "Bogomips:");
  EXPECT_EQ(rows[0].reference, "5000.00 Bogomips");
  EXPECT_EQ(rows[1].reference, "10000000.00 Dhrystones/sec");
  EXPECT_EQ(rows[10].label, "Read CPU cache:");
  EXPECT_EQ(rows[10].reference, "10000.00 MB/sec");
  EXPECT_EQ(rows[51].label, "SpinUP device:");
  for (const auto& r : rows) EXPECT_TRUE(r.weight.endsWith("%")) << r.label.toStdString();
  // Every text is on screen in a label.
  int found = 0;
  for (QLabel* l : w.findChildren<QLabel*>()) found += l->text() == "5000.00 Bogomips";
  EXPECT_EQ(found, 1);
}

}  // namespace
}  // namespace kr::test
