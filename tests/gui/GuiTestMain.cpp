#include <QApplication>
#include <gtest/gtest.h>

// Widgets need one QApplication that outlives every test and dies before the process's
// static objects do.
int main(int argc, char* argv[]) {
  testing::InitGoogleTest(&argc, argv);
  // No display is needed: tests run on the offscreen platform unless told otherwise.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
