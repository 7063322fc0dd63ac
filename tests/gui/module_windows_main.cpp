#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

// The module windows are widgets: a QApplication on the offscreen platform.
namespace {
// The offscreen platform says what it cannot do with a window; that is no
// finding of the tests.
void Quiet(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtWarningMsg && message.startsWith("This plugin does not support")) return;
  fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}
}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(Quiet);
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
