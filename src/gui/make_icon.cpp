// Build tool: the program icon from the logo picture. The logo's right end
// (its bar chart, a square as high as the logo) scaled to the icon size.
//   kr_make_icon LOGO OUT.png SIZE
#include <QImage>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: kr_make_icon LOGO OUT.png SIZE\n", stderr);
    return 2;
  }
  QImage logo;
  if (!logo.load(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "kr_make_icon: cannot read %s\n", argv[1]);
    return 1;
  }
  const int side = logo.height();
  QImage square = logo.copy(logo.width() - side, 0, side, side);
  const int size = std::atoi(argv[3]);
  QImage icon = square.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  if (!icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "kr_make_icon: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
