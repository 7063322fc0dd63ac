// The one font mapping of the desktop: the system's two text fonts, "xen"
// at 11 and 13 pixels, are a font family of this host at the desktop's text
// size and larger by 13/11.
#pragma once

#include <QFont>
#include <QString>

namespace kr {
struct Context;
}

namespace kr::gui {

inline constexpr const char* kDefaultFontFamily = "DejaVu Sans";

class FontMapping {
 public:
  explicit FontMapping(QString family = QString::fromLatin1(kDefaultFontFamily)) : family_(std::move(family)) {}
  // InitFonts: opens the 11 then the 13 pixel font. A family this host does
  // not have fails the first: error-log entry ("MAIN", "InitFonts", "Error
  // loading Font 'xen/11'. Please install"), the console line, false.
  bool Open(Context& ctx);
  bool open() const { return open_; }
  // The fonts (valid after Open).
  QFont Small() const { return small_; }  // xen 11: every window's text
  QFont Large() const { return large_; }  // xen 13: titles and values
  const QString& family() const { return family_; }

 private:
  QString family_;
  QFont small_, large_;
  bool open_ = false;
};

}  // namespace kr::gui
