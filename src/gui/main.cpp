#include "gui/desktop.h"

int main(int argc, char** argv) { return kr::gui::DesktopMain(argc, argv); }
