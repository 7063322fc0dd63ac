// Renders the module windows to PNG files on the offscreen platform, for the
// user guide:
//   render_module_windows OUTDIR MODULE.dbe...
// The first module stands in for the current session, the next ones are
// compared in slots 1, 2, ...; all are in the Local database and on the
// server's list. Prints each file written.
#include <QApplication>
#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QTabWidget>
#include <QTreeView>
#include <cstdio>
#include <string>
#include <vector>

#include "gui/max_values_window.h"
#include "gui/module_base_window.h"
#include "gui/module_info_window.h"
#include "gui/chart_widget.h"
#include "modules/module_base.h"
#include "support/test_context.h"

namespace {

using namespace kr;

void Quiet(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtWarningMsg && message.startsWith("This plugin does not support")) return;
  std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

bool Save(QWidget& w, const std::string& dir, const char* name) {
  QApplication::processEvents();
  const std::string path = dir + "/" + name;
  if (!w.grab().toImage().save(QString::fromStdString(path), "PNG")) {
    std::fprintf(stderr, "render_module_windows: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(Quiet);
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: render_module_windows OUTDIR MODULE.dbe...\n");
    return 2;
  }
  const std::string out = argv[1];
  test::TestContext t;
  Context& ctx = t.ctx;
  SetDisplayDefaults(ctx.display);
  std::vector<std::string> files(argv + 2, argv + argc);
  std::vector<std::string> serials;
  for (const ImportOutcome& o : ImportModules(ctx, files)) {
    if (o.kind != ImportOutcome::Imported) {
      std::fprintf(stderr, "render_module_windows: %s not imported\n", o.path.c_str());
      return 1;
    }
    serials.push_back(o.serial);
  }
  ctx.modules.server = ctx.modules.local;
  // The first module is the current session; the others are compared.
  ModuleRecord current;
  if (ReadModuleFile(ctx, LocalModulePath(serials[0]), current) != ModuleRead::Ok) return 1;
  ctx.results = current;
  for (size_t i = 1; i < serials.size() && i <= 4; ++i) ChooseSlotModule(ctx, int(i), *FindLocal(ctx, serials[i]));

  ModuleBaseWindow w(ctx);
  // Every drawing lasts 2.5 ms: the frame-rate text reads as it does on a
  // desktop and the pictures stay the same from one rendering to the next.
  t.timer.defaultStep = 2500;
  w.resize(980, 640);
  w.show();
  Q_EMIT w.workerState("Transfer completed.");
  bool ok = true;
  w.pages()->setCurrentIndex(ModuleBaseWindow::kServerPage);
  w.serverList()->setCurrentIndex(w.serverList()->model()->index(0, 0));
  ok &= Save(w, out, "gui-module-base-server.png");
  w.pages()->setCurrentIndex(ModuleBaseWindow::kLocalPage);
  w.localList()->setCurrentIndex(w.localList()->model()->index(1, 0));
  ok &= Save(w, out, "gui-module-base-local.png");
  w.pages()->setCurrentIndex(ModuleBaseWindow::kChartPage);
  w.masterCycle()->setCurrentIndex(0);
  w.slaveCycle()->setCurrentIndex(1);  // KelvaRANKS: Processor
  ok &= Save(w, out, "gui-module-base-chart.png");
  // Relative, without the clamp at 100, on a scale of 200 %.
  w.showMode()->button(1)->click();
  w.roughScale()->setValue(20);
  w.uncapped()->setChecked(true);
  ok &= Save(w, out, "gui-module-base-chart-uncapped.png");
  w.uncapped()->setChecked(false);
  w.roughScale()->setValue(5);
  w.showMode()->button(0)->click();
  w.masterCycle()->setCurrentIndex(2);  // Memory: CPU Cache Read
  w.drawMode()->button(1)->click();     // B-Splines
  ok &= Save(w, out, "gui-module-base-chart-splines.png");
  w.drawMode()->button(0)->click();
  w.pages()->setCurrentIndex(ModuleBaseWindow::kModulesPage);
  ok &= Save(w, out, "gui-module-base-modules.png");

  ModuleInfoWindow info(SlotRecord(ctx, 1));
  info.show();
  ok &= Save(info, out, "gui-module-information.png");
  MaxValuesWindow max;
  max.show();
  ok &= Save(max, out, "gui-maximum-values.png");
  return ok ? 0 : 1;
}
