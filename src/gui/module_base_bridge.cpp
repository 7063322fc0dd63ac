#include "gui/module_base_bridge.h"

#include "gui/app.h"
#include "gui/main_window.h"

#if __has_include("gui/module_base_window.h")
#include "gui/module_base_window.h"

#include <QVariant>
#define KR_HAVE_MODULE_BASE 1
#endif

namespace kr::gui {

void ShowModuleBase(Desktop& desktop) {
#ifdef KR_HAVE_MODULE_BASE
  ModuleBaseWindow* w = OpenModuleBase(desktop.ctx(), desktop.mainWindow());
  // While a transfer of the window owns the module base and the dos layer,
  // the main window's commands stay off the context.
  if (w && !w->property("krMainConnected").toBool()) {
    w->setProperty("krMainConnected", true);
    QObject::connect(w, &ModuleBaseWindow::busyChanged, desktop.mainWindow(),
                     [&desktop](bool busy) { desktop.SetModuleBaseBusy(busy); });
  }
#else
  desktop.requester().Request("\x1b" "bINFORMATION\x1b" "n",
                              "The " "\x1b" "bModule Base" "\x1b" "n window is not available in this build.\n\n"
                              "The terminal program offers the module base:\n'kelvarank-cli modules --help'.",
                              "Ok");
#endif
}

}  // namespace kr::gui
