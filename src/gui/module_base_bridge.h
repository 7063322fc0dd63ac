// The main window's "Module _Base" button: opens the Module Base window.
#pragma once

namespace kr::gui {

class Desktop;

void ShowModuleBase(Desktop& desktop);

}  // namespace kr::gui
