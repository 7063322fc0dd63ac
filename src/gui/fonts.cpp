#include "gui/fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>
#include <algorithm>
#include <cstdio>

#include "engine/errorlog.h"

namespace kr::gui {
namespace {

// A font of the family at a pixel size, or false when the host lacks it.
// The sizes follow the desktop's font setting: the 11 pixel font is the
// desktop's text size, the 13 pixel one larger by the same ratio.
bool OpenFont(const QString& family, int pixels, QFont& out) {
  if (!QFontDatabase::families().contains(family, Qt::CaseInsensitive)) return false;
  const QFont desktop = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  QFont f(family);
  if (desktop.pointSizeF() > 0)
    f.setPointSizeF(desktop.pointSizeF() * pixels / 11.0);
  else
    f.setPixelSize(std::max(1, desktop.pixelSize()) * pixels / 11);
  if (QFontInfo(f).family().compare(family, Qt::CaseInsensitive) != 0) return false;
  out = f;
  return true;
}

}  // namespace

bool FontMapping::Open(Context& ctx) {
  static const struct {
    int size;
    const char* reason;
    const char* console;
  } kFonts[] = {{11, "Error loading Font 'xen/11'. Please install", "Error loading font 'xen/11'. Please install\n"},
                {13, "Error loading Font 'xen/13'. Please install", "Error loading font 'xen/13'. Please install\n"}};
  QFont* out[2] = {&small_, &large_};
  for (int i = 0; i < 2; ++i) {
    if (!OpenFont(family_, kFonts[i].size, *out[i])) {
      LogError(ctx, "MAIN", "InitFonts", kFonts[i].reason);
      std::fputs(kFonts[i].console, stderr);
      open_ = false;
      return false;
    }
  }
  open_ = true;
  return true;
}

}  // namespace kr::gui
