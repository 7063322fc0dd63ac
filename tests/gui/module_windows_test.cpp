// The module windows on the offscreen platform: the chart widget, the
// Module Information and Maximum Values windows, and the Module Base window's
// buttons against real databases and loopback servers.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <future>
#include <thread>

#include "charts/chart_draw.h"
#include "gui/chart_widget.h"
#include "gui/max_values_window.h"
#include "gui/module_base_window.h"
#include "gui/module_info_window.h"
#include "modules/module_base.h"
#include "modules/module_fixture.h"
#include "net/loopback_server.h"
#include "net/net_fixture.h"

namespace kr::test {
namespace {

namespace nf = net_files;

// A Local module of `user` whose Mars Cipher figures are a, b, c, in the
// Local list.
std::string StoreMars(Context& ctx, const std::string& user, double a, double b, double c) {
  const ModuleRecord m = WriteMarsModule(ctx, user, a, b, c);
  ctx.modules.local.push_back(MakeIndexEntry(m));
  return std::string(ModuleSerial(m));
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

  // While a run has the window disabled, the records are not read: the
  // picture stays as drawn last, and comes from the records again once the
  // window is enabled.
  w.setEnabled(false);
  ctx.compare[0] = ctx.compare[2];
  w.setChartState(state);
  EXPECT_EQ(Grab(w), hidden);
  w.setEnabled(true);
  EXPECT_NE(Grab(w), hidden);
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

// On a screen smaller than their content (the offscreen screen is 800 x 600)
// both windows fit and scroll; their buttons stay on screen.
TEST(ModuleWindowsOnASmallScreen, FitAndScroll) {
  ModuleContext t;
  const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
  ModuleInfoWindow info(SlotRecord(t.ctx, 1));
  MaxValuesWindow max;
  for (QDialog* w : {static_cast<QDialog*>(&info), static_cast<QDialog*>(&max)}) {
    SCOPED_TRACE(w->objectName().toStdString());
    w->show();
    w->adjustSize();
    QCoreApplication::processEvents();
    EXPECT_LE(w->height(), avail.height());
    EXPECT_LE(w->width(), avail.width());
    auto* area = w->findChild<QScrollArea*>(QStringLiteral("scroll"));
    ASSERT_NE(area, nullptr);
    QPushButton* close = w->findChild<QPushButton*>();
    ASSERT_NE(close, nullptr);
    EXPECT_LE(close->mapTo(w, QPoint(0, close->height())).y(), w->height());
    w->hide();
  }
  // Module Information is taller than this screen: it scrolls to the comment.
  auto* area = info.findChild<QScrollArea*>(QStringLiteral("scroll"));
  EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
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

// ---- The Module Base window ----

// Processes events until `done` holds or `ms` pass.
template <class F>
bool WaitFor(F done, int ms = 15000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return done();
}

std::vector<std::string> Serials(const std::vector<IndexEntry>& list) {
  std::vector<std::string> out;
  for (const IndexEntry& e : list) out.emplace_back(e.serial());
  return out;
}

// The "Serial" column of each row.
std::vector<std::string> Shown(QTreeView* list) {
  std::vector<std::string> out;
  for (int i = 0; i < list->model()->rowCount(); ++i)
    out.push_back(list->model()->index(i, 26).data().toString().toStdString());
  return out;
}

void Select(QTreeView* list, const std::string& serial) {
  ASSERT_TRUE(ModuleBaseWindow::SelectSerial(list, QString::fromStdString(serial))) << serial;
}

struct ModuleBaseTest : ::testing::Test {
  ModuleContext t;
  Context& ctx = t.ctx;
  TempDir files;
  QStringList importChoice;
  QString exportChoice;
  std::unique_ptr<ModuleBaseWindow> w;

  void SetUp() override { SetDisplayDefaults(ctx.display); }
  void Open() {
    w = std::make_unique<ModuleBaseWindow>(ctx);
    w->setFileChoosers({[this](QWidget*, const QString&) { return importChoice; },
                        [this](QWidget*, const QString&, const QString&) { return exportChoice; }});
    w->setNetworkTimeout(2000);
    w->show();
  }
  // A module file of `user` outside the home; its serial.
  std::string ModuleFile(const std::string& user, const std::string& name, double figure = 1.5) {
    ModuleRecord m = nf::MakeModule(ctx, user, figure);
    nf::Write(files.path() + "/" + name, nf::FileBytes(m));
    return std::string(ModuleSerial(m));
  }
  std::string LocalIndexBytes() { return nf::Read(t.Home("Database/Local/database.dbi")); }
  // The serials the Local index on disk holds.
  std::vector<std::string> LocalIndexSerials() {
    const std::string bytes = LocalIndexBytes();
    return Serials(ParseIndex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()).entries);
  }
  std::vector<std::string> Asked() const {
    std::vector<std::string> out;
    for (const auto& a : t.requester.asked) out.push_back(a.text);
    return out;
  }
};

// The window's own file choosers open in the home's "Modules" folder (made
// when missing) with the buttons "Import"/"Export" and "Abort".
TEST_F(ModuleBaseTest, ChoosersOpenInTheModulesFolder) {
  const std::string drawer = t.Home("Modules");
  QDir(QString::fromStdString(drawer)).removeRecursively();
  w = std::make_unique<ModuleBaseWindow>(ctx);
  w->show();
  struct Seen {
    QString dir, accept, reject, title;
  };
  std::vector<Seen> seen;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<QFileDialog*>(top); d && d->isVisible()) {
        seen.push_back({QDir(d->directory()).absolutePath(), d->labelText(QFileDialog::Accept),
                        d->labelText(QFileDialog::Reject), d->windowTitle()});
        d->reject();
      }
  });
  poll.start(10);
  w->button("_Import")->click();
  const std::string a = ModuleFile("ann", "a.dbe");
  importChoice = {};
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].dir.toStdString(), QDir(QString::fromStdString(drawer)).absolutePath().toStdString());
  EXPECT_EQ(seen[0].accept, "Import");
  EXPECT_EQ(seen[0].reject, "Abort");
  EXPECT_TRUE(QDir(QString::fromStdString(drawer)).exists());
  // Export: a module in the Local database first.
  w->setFileChoosers({[&](QWidget*, const QString&) { return QStringList{QString::fromStdString(files.path() + "/a.dbe")}; },
                      {}});
  w->button("_Import")->click();
  ASSERT_EQ(ctx.modules.local.size(), 1u);
  w.reset();
  w = std::make_unique<ModuleBaseWindow>(ctx);
  w->show();
  Select(w->localList(), a);
  w->button("_Export")->click();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].dir.toStdString(), QDir(QString::fromStdString(drawer)).absolutePath().toStdString());
  EXPECT_EQ(seen[1].accept, "Export");
  EXPECT_EQ(seen[1].reject, "Abort");
}

// Import (several files, a wrong length, the same module twice, pressed
// twice), Export and Remove change the Local database as the buttons say,
// and the index on disk always matches the list.
TEST_F(ModuleBaseTest, LocalButtonsChangeTheLocalDatabase) {
  const std::string a = ModuleFile("ann", "a.dbe"), b = ModuleFile("bob", "b.dbe", 2.5);
  nf::Write(files.path() + "/short.dbe", std::string(9503, 'x'));
  Open();
  importChoice = {QString::fromStdString(files.path() + "/a.dbe"), QString::fromStdString(files.path() + "/short.dbe"),
                  QString::fromStdString(files.path() + "/b.dbe")};
  w->button("_Import")->click();
  EXPECT_EQ(Serials(ctx.modules.local), (std::vector<std::string>{a, b}));
  EXPECT_EQ(Shown(w->localList()), (std::vector<std::string>{a, b}));
  EXPECT_EQ(Asked(), std::vector<std::string>{"Wrong module-length!"});
  EXPECT_EQ(nf::Read(t.Home("Database/Local/" + a + ".dbe")), nf::Read(files.path() + "/a.dbe"));
  EXPECT_EQ(LocalIndexBytes().size(), 10 + 2 * 1003u);
  EXPECT_EQ(LocalIndexSerials(), (std::vector<std::string>{a, b}));
  // The slot pickers offer the same list.
  ASSERT_EQ(w->slotPicker(1)->count(), 2);
  EXPECT_EQ(w->slotPicker(1)->itemData(1).toString().toStdString(), b);

  // The same file again, twice in a row: refused each time, nothing written.
  t.requester.asked.clear();
  importChoice = {QString::fromStdString(files.path() + "/a.dbe")};
  w->button("_Import")->click();
  w->button("_Import")->click();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Module is already 'Local'...", "Module is already 'Local'..."}));
  EXPECT_EQ(Serials(ctx.modules.local), (std::vector<std::string>{a, b}));
  EXPECT_EQ(LocalIndexSerials(), (std::vector<std::string>{a, b}));

  // Cancelled choosers and no selection do nothing.
  importChoice = {};
  w->button("_Import")->click();
  w->localList()->setCurrentIndex({});
  w->button("_Export")->click();
  w->button("_Remove")->click();
  EXPECT_EQ(Serials(ctx.modules.local), (std::vector<std::string>{a, b}));

  // Export writes the stored file unchanged; a cancelled export writes nothing.
  Select(w->localList(), b);
  exportChoice = QString::fromStdString(files.path() + "/out.dbe");
  w->button("_Export")->click();
  EXPECT_EQ(nf::Read(files.path() + "/out.dbe"), nf::Read(files.path() + "/b.dbe"));
  exportChoice = QString::fromStdString(files.path() + "/no/such/dir/x.dbe");
  t.requester.asked.clear();
  w->button("_Export")->click();
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_NE(Asked()[0].find("Can't write the module to"), std::string::npos);

  // Remove: the not-on-server warning; "Abort" keeps it, "Remove" removes it
  // and empties the slot that showed it.
  ASSERT_TRUE(w->chooseSlotModule(2, QString::fromStdString(b)));
  EXPECT_EQ(w->slotLabel(2)->text(), "Real bob (bob)");
  t.requester.asked.clear();
  t.requester.answers = {1};
  w->button("_Remove")->click();
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_NE(Asked()[0].find("no copy of the module you want to remove on the server"), std::string::npos);
  EXPECT_EQ(Serials(ctx.modules.local), (std::vector<std::string>{a, b}));
  t.requester.answers = {0};
  w->button("_Remove")->click();
  EXPECT_EQ(Serials(ctx.modules.local), std::vector<std::string>{a});
  EXPECT_EQ(Shown(w->localList()), std::vector<std::string>{a});
  EXPECT_FALSE(nf::Exists(t.Home("Database/Local/" + b + ".dbe")));
  EXPECT_EQ(LocalIndexSerials(), std::vector<std::string>{a});
  EXPECT_EQ(ctx.modules.slotLoaded[1], 0);
  EXPECT_EQ(ctx.display.slotPath(1), "");
  EXPECT_EQ(w->slotLabel(2)->text(), "");
  EXPECT_EQ(w->slotPicker(2)->count(), 1);
}

// The chart page: a slot chosen in its picker is drawn in its pen; the
// choice cycles, radios and sliders go into the display record; the
// show-mode and draw-mode controls follow the choice; "Information" and
// "Show _max-values" open their windows.
TEST_F(ModuleBaseTest, ChartPageDrawsTheChosenSlots) {
  const std::string a = StoreMars(ctx, "ann", 300, 600, 150);
  ASSERT_TRUE(SaveLocalIndex(ctx));
  Open();
  w->pages()->setCurrentIndex(ModuleBaseWindow::kModulesPage);
  QComboBox* picker = w->slotPicker(1);
  ASSERT_EQ(picker->count(), 1);
  picker->setCurrentIndex(0);
  Q_EMIT picker->activated(0);
  EXPECT_EQ(ctx.modules.slotLoaded[0], 1);
  EXPECT_EQ(ctx.display.slotPath(0), "PROGDIR:Database/Local/" + a + ".dbe");
  EXPECT_EQ(w->slotLabel(1)->text(), "Real Name (ann)");

  w->pages()->setCurrentIndex(ModuleBaseWindow::kChartPage);
  w->masterCycle()->setCurrentIndex(1);  // Processor
  EXPECT_EQ(ctx.display.masterSection(), 1);
  EXPECT_EQ(w->slaveCycle()->count(), 10);
  EXPECT_EQ(w->slaveCycle()->itemText(0), "Bogomips");
  w->slaveCycle()->setCurrentIndex(cpu::kMars - 1);
  EXPECT_EQ(ctx.display.slaveSection(), cpu::kMars - 1);
  w->showMode()->button(1)->click();  // Relative
  EXPECT_EQ(ctx.display.showMode(), 1);
  w->fineScale()->setValue(70);
  w->roughScale()->setValue(9);
  EXPECT_EQ(ctx.display.fineScale(), 70);
  EXPECT_EQ(ctx.display.roughScale(), 9);

  ChartWidget* chart = w->chart();
  EXPECT_EQ(chart->chartState().masterSection, master::kProcessor);
  EXPECT_EQ(chart->chartState().slaveSection, cpu::kMars);
  EXPECT_EQ(chart->sources().records[1], &ctx.compare[0]);
  const QImage image = Grab(*chart);
  QImage expected(image.size(), QImage::Format_RGB32);
  ChartState s = chart->chartState();
  s.framesPerSecond = 0;
  RenderChart(expected, BuildChartModel(s, ChartSourcesOf(ctx)), ChartPalette(ctx.display), 0.0,
              MappedFont(kChartFontSize));
  // The frame-rate text differs (the widget times its drawing); the bars not.
  const auto palette = ChartPalette(ctx.display);
  const Rgb red = palette[disp::kPenModule1];
  int module1 = 0, expectedModule1 = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      module1 += (image.pixel(x, y) & 0xFFFFFF) == (qRgb(red.r, red.g, red.b) & 0xFFFFFF);
      expectedModule1 += (expected.pixel(x, y) & 0xFFFFFF) == (qRgb(red.r, red.g, red.b) & 0xFFFFFF);
    }
  EXPECT_GT(module1, 100);
  EXPECT_EQ(module1, expectedModule1);

  // A new colour for module 1 goes into the pen text and the drawing.
  w->setPenColor(disp::kPenModule1, QColor(0x12, 0x34, 0x56));
  EXPECT_EQ(ctx.display.penText(disp::kPenModule1), "r12121212,34343434,56565656");
  EXPECT_EQ(Grab(*chart).pixel(int(99 + (chart->width() - 1 - 102) / 4.0 / 2) + 1, chart->height() - 1 - 21 - 1) & 0xFFFFFF,
            qRgb(0x12, 0x34, 0x56) & 0xFFFFFF);

  // Hiding module 1 on the chart page hides it on both pages and in the record.
  w->showModule(1)->setChecked(false);
  EXPECT_EQ(ctx.display.showModule(0), 0);
  EXPECT_FALSE(chart->chartState().showModule[0]);

  // Seek on Device: the show mode is fixed; Mars has "AVG", so blocks/splines stay.
  QWidget* showBox = w->showMode()->button(0)->parentWidget();
  QWidget* drawBox = w->drawMode()->button(0)->parentWidget();
  EXPECT_TRUE(showBox->isEnabled());
  w->masterCycle()->setCurrentIndex(3);  // Hard Disk: the slave cycle starts again
  EXPECT_EQ(ctx.display.slaveSection(), 0);
  for (int i = 0; i < w->slaveCycle()->count(); ++i)
    if (w->slaveCycle()->itemText(i) == "Seek on Device") w->slaveCycle()->setCurrentIndex(i);
  EXPECT_FALSE(showBox->isEnabled());
  EXPECT_TRUE(drawBox->isEnabled());
  for (int i = 0; i < w->slaveCycle()->count(); ++i)
    if (w->slaveCycle()->itemText(i) == "SpinUP Device") w->slaveCycle()->setCurrentIndex(i);
  EXPECT_FALSE(drawBox->isEnabled());

  // "Information" of slot 1 shows its module; of slot 3 an empty window.
  QString user, serial3;
  QTimer::singleShot(0, [&] {
    if (auto* d = qobject_cast<ModuleInfoWindow*>(QApplication::activeModalWidget())) {
      user = d->fieldText("Username:");
      d->reject();
    }
  });
  w->button("Information1")->click();
  EXPECT_EQ(user, "ann");
  QTimer::singleShot(0, [&] {
    if (auto* d = qobject_cast<ModuleInfoWindow*>(QApplication::activeModalWidget())) {
      serial3 = d->fieldText("Module Serial:") + "|";
      d->reject();
    }
  });
  w->button("Information3")->click();
  EXPECT_EQ(serial3, "|");

  w->button("Show _max-values")->click();
  auto* max = w->findChild<MaxValuesWindow*>();
  ASSERT_NE(max, nullptr);
  EXPECT_TRUE(max->isVisible());
  w->button("Show _max-values")->click();
  EXPECT_EQ(w->findChildren<MaxValuesWindow*>().size(), 1);

  // "_Reload Modules" after the module file has gone: the slot is emptied
  // with the corrupt-database message and the chart draws without it.
  ASSERT_EQ(std::remove(t.Home("Database/Local/" + a + ".dbe").c_str()), 0);
  t.requester.asked.clear();
  w->button("_Reload Modules")->click();
  EXPECT_EQ(ctx.modules.slotLoaded[0], 0);
  EXPECT_EQ(Asked(), std::vector<std::string>{"Can't load module from disk.\n\nThe database seems corrupt!"});
  EXPECT_EQ(chart->sources().records[1], nullptr);
}

// The "Uncapped" switch of the chart page draws the relative view without
// the clamp at 100 (a module far above the references then stands taller),
// and never reaches the display record.
TEST_F(ModuleBaseTest, UncappedSwitchDrawsTheRelativeViewWithoutTheClamp) {
  const double marsMean = ctx.results.figure(rec::kMarsMean);
  ctx.results.setFigure(rec::kMarsMean, 1e6);  // a thousand times the reference
  const std::string a = StoreMars(ctx, "ann", 1e6, 1e6, 1e6);
  ctx.results.setFigure(rec::kMarsMean, marsMean);
  ASSERT_EQ(LoadModuleIntoSlot(ctx, 1, a), ModuleRead::Ok);
  Open();
  w->pages()->setCurrentIndex(ModuleBaseWindow::kChartPage);
  w->masterCycle()->setCurrentIndex(0);  // KelvaRANKS
  w->slaveCycle()->setCurrentIndex(1);   // Processor
  w->showMode()->button(1)->click();     // Relative
  w->fineScale()->setValue(100);
  w->roughScale()->setValue(100);        // 100 % stands low in the view
  ChartWidget* chart = w->chart();
  const Rgb pen = ChartPalette(ctx.display)[disp::kPenModule1];
  auto penPixels = [&] {
    const QImage image = Grab(*chart);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == (qRgb(pen.r, pen.g, pen.b) & 0xFFFFFF);
    return n;
  };
  EXPECT_FALSE(chart->chartState().uncapped);
  const int capped = penPixels();
  const auto display = ctx.display.bytes;

  w->uncapped()->setChecked(true);
  const ChartState s = chart->chartState();
  EXPECT_TRUE(s.uncapped);
  EXPECT_EQ(ctx.display.bytes, display);
  EXPECT_GT(BuildChartModel(s, ChartSourcesOf(ctx)).series[1].maximum, 100.0);
  EXPECT_GT(penPixels(), capped);

  w->uncapped()->setChecked(false);
  EXPECT_FALSE(chart->chartState().uncapped);
  EXPECT_EQ(penPixels(), capped);
}

// One window per main window; opening it again shows the same one, and it
// shows the display record as it is now. Closing keeps the chart settings.
TEST_F(ModuleBaseTest, OpenModuleBaseShowsOneWindow) {
  QWidget main;
  ctx.display.set_s32(disp::kMasterSection, 2);
  ctx.display.set_s32(disp::kSlaveSection, 4);
  ModuleBaseWindow* first = OpenModuleBase(ctx, &main);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->isVisible());
  EXPECT_TRUE(first->isWindow());
  EXPECT_EQ(first->windowTitle(), QString::fromUtf8("KelvaRANK \u00B7 Module Base"));
  EXPECT_EQ(first->masterCycle()->currentText(), "Memory");
  EXPECT_EQ(first->slaveCycle()->currentIndex(), 4);
  first->drawMode()->button(1)->click();
  first->close();
  EXPECT_EQ(ctx.display.drawMode(), 1);
  ctx.display.set_s32(disp::kMasterSection, 0);  // changed elsewhere meanwhile
  EXPECT_EQ(OpenModuleBase(ctx, &main), first);
  EXPECT_TRUE(first->isVisible());
  EXPECT_EQ(first->masterCycle()->currentText(), "KelvaRANKS");
  EXPECT_EQ(main.findChildren<ModuleBaseWindow*>().size(), 1);

  // A module made while the window is open appears when the program says so.
  StoreMars(ctx, "made", 1, 2, 3);
  ctx.display.set_s32(disp::kShowMode, 1);
  first->refreshFromContext();
  EXPECT_EQ(first->localList()->model()->rowCount(), 1);
  EXPECT_EQ(first->slotPicker(4)->count(), 1);
  EXPECT_TRUE(first->showMode()->button(1)->isChecked());
}

// A served module and an index holding it.
struct Served {
  std::string serial, module, index;
};
Served MakeServed(const std::string& user) {
  TestContext t;
  ModuleRecord m = nf::MakeModule(t.ctx, user);
  std::vector<uint8_t> index = IndexBytes({MakeIndexEntry(m)});
  return {std::string(ModuleSerial(m)), nf::FileBytes(m), std::string(index.begin(), index.end())};
}

void ServerAt(Context& ctx, uint16_t port) {
  std::snprintf(ctx.run.serverHost, sizeof ctx.run.serverHost, "http://127.0.0.1:%u", unsigned(port));
  std::snprintf(ctx.run.serverPath, sizeof ctx.run.serverPath, "kr");
}

// "Retrieve _List" and "_Download" against a loopback collection server: the
// window stays responsive (the transfer is on its worker), a second press
// while it runs starts nothing, and both databases end as the server says.
TEST_F(ModuleBaseTest, RetrieveListAndDownloadFromALoopbackServer) {
  const Served s = MakeServed("alice");
  std::atomic<int> connections{0};
  auto serve = Serve({{"/kr/database.dbi", Ok(s.index)}, {"/kr/" + s.serial + ".dbe", Ok(s.module)}});
  // The server answers once the button has been pressed again, so the
  // second press meets the transfer still running.
  std::promise<void> pressedAgain;
  const std::shared_future<void> answer = pressedAgain.get_future().share();
  LoopbackServer server([&](int fd) {
    ++connections;
    answer.wait_for(std::chrono::seconds(10));
    serve(fd);
  }, false, 4);
  ASSERT_TRUE(server.ok());
  ServerAt(ctx, server.port());
  Open();
  bool finished = false, ok = false;
  QObject::connect(w.get(), &ModuleBaseWindow::transferFinished, [&](bool r) {
    finished = true;
    ok = r;
  });

  QPushButton* list = w->button("Retrieve _List");
  list->click();
  EXPECT_TRUE(w->transferRunning());
  EXPECT_FALSE(list->isEnabled());
  EXPECT_FALSE(w->button("_Import")->isEnabled());
  EXPECT_TRUE(w->button("_Stop")->isEnabled());
  list->click();  // pressed again at once: nothing more
  pressedAgain.set_value();
  ASSERT_TRUE(WaitFor([&] { return finished; }));
  EXPECT_TRUE(ok) << w->stateText().toStdString();
  EXPECT_EQ(connections.load(), 1);
  EXPECT_EQ(w->stateText(), "Transfer completed.");
  EXPECT_EQ(Serials(ctx.modules.server), std::vector<std::string>{s.serial});
  EXPECT_EQ(Shown(w->serverList()), std::vector<std::string>{s.serial});
  EXPECT_EQ(nf::Read(t.Home("Database/Server/database.dbi")), s.index);
  EXPECT_TRUE(list->isEnabled());
  EXPECT_FALSE(w->button("_Stop")->isEnabled());

  finished = false;
  Select(w->serverList(), s.serial);
  w->button("_Download")->click();
  ASSERT_TRUE(WaitFor([&] { return finished; }));
  EXPECT_TRUE(ok) << w->stateText().toStdString();
  EXPECT_EQ(Serials(ctx.modules.local), std::vector<std::string>{s.serial});
  EXPECT_EQ(Shown(w->localList()), std::vector<std::string>{s.serial});
  EXPECT_EQ(nf::Read(t.Home("Database/Local/" + s.serial + ".dbe")), s.module);
  EXPECT_EQ(LocalIndexBytes().size(), 10 + 1003u);
  EXPECT_EQ(w->slotPicker(1)->count(), 1);

  // Once Local, the module is not fetched again.
  finished = false;
  w->button("_Download")->click();
  EXPECT_FALSE(w->transferRunning());
  EXPECT_EQ(Asked(), std::vector<std::string>{"Module is already 'Local'"});
  EXPECT_EQ(connections.load(), 2);
}

// Hostile servers: a clear state line, both databases as they were.
TEST_F(ModuleBaseTest, HostileServersLeaveTheDatabasesAsTheyWere) {
  const Served s = MakeServed("alice"), old = MakeServed("olga");
  nf::Write(t.Home("Database/Server/database.dbi"), old.index);
  ASSERT_TRUE(LoadIndex(ctx, Database::Server));
  struct Case {
    const char* what;
    std::string response;
    const char* state;
  };
  const Case cases[] = {
      {"404", "HTTP/1.0 404 Not Found\r\n\r\n", "ERROR: Server-database not found!"},
      {"an HTML page", Ok("<html>hello</html>"), "ERROR: Invalid server-database!"},
      {"cut short", Ok(s.index).substr(0, 600), "ERROR: Transfer incomplete!"},
      {"no HTTP at all", std::string(3000, '\xFF'), "ERROR: Server-database not found!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string response = c.response;
    LoopbackServer server([&](int fd) {
      ReadUntil(fd, "\r\n\r\n");
      SendText(fd, response);
    }, false, 2);
    ASSERT_TRUE(server.ok());
    ServerAt(ctx, server.port());
    Open();
    bool finished = false, ok = true;
    QObject::connect(w.get(), &ModuleBaseWindow::transferFinished, [&](bool r) {
      finished = true;
      ok = r;
    });
    w->button("Retrieve _List")->click();
    ASSERT_TRUE(WaitFor([&] { return finished; }));
    EXPECT_FALSE(ok);
    EXPECT_EQ(w->stateText().toStdString(), c.state);
    // The request says which transfer failed and why.
    ASSERT_FALSE(Asked().empty());
    EXPECT_EQ(Asked().back(), std::string("Retrieving the server list failed.\n\n") + c.state);
    EXPECT_EQ(nf::Read(t.Home("Database/Server/database.dbi")), old.index);
    EXPECT_EQ(Serials(ctx.modules.server), std::vector<std::string>{old.serial});
    EXPECT_EQ(Shown(w->serverList()), std::vector<std::string>{old.serial});

    // The old list's module, fetched from the same server: nothing stored.
    finished = false;
    Select(w->serverList(), old.serial);
    w->button("_Download")->click();
    ASSERT_TRUE(WaitFor([&] { return finished; }));
    EXPECT_FALSE(ok);
    EXPECT_EQ(w->stateText(), "ERROR: Can't download module!");
    EXPECT_EQ(Asked().back(), "Downloading the module '" + old.serial + "' failed.\n\nERROR: Can't download module!");
    EXPECT_TRUE(ctx.modules.local.empty());
    EXPECT_EQ(nf::Names(t.Home("Database/Local")), std::vector<std::string>{});
  }
}

// A server that never answers: "_Stop" ends the transfer; closing the window
// ends it too; destroying the window in the middle waits for its thread.
TEST_F(ModuleBaseTest, StopCloseAndDestroyDuringATransfer) {
  LoopbackServer silent([&](int) {
    for (int i = 0; i < 500 && !silent.stopping(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }, false, 3);
  ASSERT_TRUE(silent.ok());
  ServerAt(ctx, silent.port());
  Open();
  w->setNetworkTimeout(60000);
  bool finished = false;
  QObject::connect(w.get(), &ModuleBaseWindow::transferFinished, [&](bool) { finished = true; });

  w->button("Retrieve _List")->click();
  ASSERT_TRUE(WaitFor([&] { return w->stateText() == "Receiving module..."; })) << w->stateText().toStdString();
  w->button("_Stop")->click();
  ASSERT_TRUE(WaitFor([&] { return finished; }, 3000));
  EXPECT_EQ(w->stateText(), "ERROR: Operation canceled");
  EXPECT_FALSE(nf::Exists(t.Home("Database/Server/database.dbi")));

  finished = false;
  w->button("Retrieve _List")->click();
  ASSERT_TRUE(WaitFor([&] { return w->stateText() == "Receiving module..."; }));
  w->close();
  EXPECT_FALSE(w->isVisible());
  ASSERT_TRUE(WaitFor([&] { return finished; }, 3000));
  EXPECT_FALSE(w->transferRunning());
  EXPECT_TRUE(ctx.modules.server.empty());

  w->show();
  w->button("Retrieve _List")->click();
  ASSERT_TRUE(WaitFor([&] { return w->stateText() == "Receiving module..."; }));
  w.reset();  // waits for the worker
  EXPECT_TRUE(ctx.modules.server.empty());
  EXPECT_FALSE(nf::Exists(t.Home("Database/Server/database.dbi")));
}

// "_Upload" to a loopback SMTP server: the log question, the mail with the
// module attached, the success message; a module already on the server is
// refused before any connection.
TEST_F(ModuleBaseTest, UploadToALoopbackSmtpServer) {
  SmtpServer smtp;
  ASSERT_TRUE(smtp.server.ok());
  ctx.settings.set_text(cfg::kSmtpServer, cfg::kSmtpWidth, "127.0.0.1");
  ctx.settings.set_s32(cfg::kSmtpPort, smtp.server.port());
  const std::string a = ModuleFile("ann", "a.dbe");
  Open();
  importChoice = {QString::fromStdString(files.path() + "/a.dbe")};
  w->button("_Import")->click();
  ASSERT_EQ(Serials(ctx.modules.local), std::vector<std::string>{a});
  bool finished = false, ok = false;
  QObject::connect(w.get(), &ModuleBaseWindow::transferFinished, [&](bool r) {
    finished = true;
    ok = r;
  });
  t.requester.answers = {1, 0};  // no log; "Ok"
  Select(w->localList(), a);
  w->button("_Upload")->click();
  ASSERT_TRUE(WaitFor([&] { return finished; }));
  EXPECT_TRUE(ok) << w->stateText().toStdString();
  EXPECT_EQ(w->stateText(), "Transfer completed.");
  ASSERT_EQ(Asked().size(), 2u);
  EXPECT_EQ(Asked()[0], "Should log saved to 'RAM:kr_maillog.txt'?");
  EXPECT_EQ(Asked()[1].rfind("Your module was sended successfuly!", 0), 0u);
  EXPECT_NE(smtp.received.find("filename=\"" + a + ".dbe\""), std::string::npos) << smtp.received;
  EXPECT_FALSE(nf::Exists(t.ram.path() + "/kr_maillog.txt"));

  // A server that refuses the sender: its reply on the state line, no
  // success message.
  LoopbackServer refusing([](int fd) {
    SendText(fd, "220 hello\r\n");
    ReadUntil(fd, "\r\n");
    SendText(fd, "250 ok\r\n");
    ReadUntil(fd, "\r\n");
    SendText(fd, "550 sender refused\r\n");
    ReadUntil(fd, "\r\n");
  });
  ASSERT_TRUE(refusing.ok());
  ctx.settings.set_s32(cfg::kSmtpPort, refusing.port());
  t.requester.asked.clear();
  t.requester.answers = {1};
  finished = false;
  w->button("_Upload")->click();
  ASSERT_TRUE(WaitFor([&] { return finished; }));
  EXPECT_FALSE(ok);
  EXPECT_EQ(w->stateText(), "ERROR: 550 sender refused");
  // The request after the transfer says which one failed.
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Should log saved to 'RAM:kr_maillog.txt'?",
                                                "Uploading the module '" + a + "' failed.\n\nERROR: 550 sender refused"}));
  EXPECT_EQ(Serials(ctx.modules.local), std::vector<std::string>{a});

  // On the server list already: refused, nothing sent.
  ctx.modules.server.push_back(ctx.modules.local[0]);
  t.requester.asked.clear();
  w->button("_Upload")->click();
  EXPECT_FALSE(w->transferRunning());
  EXPECT_EQ(Asked(), std::vector<std::string>{"Module is already at 'Server'"});
}

}  // namespace
}  // namespace kr::test
