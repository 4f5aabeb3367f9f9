#include <QApplication>
#include <gtest/gtest.h>

#include "gui/MainWindow.h"

namespace {

TEST(MainWindow, OpensWithCaptionAndCloses) {
  TfMain window;
  window.show();
  QApplication::processEvents();
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Objednávky"));
  EXPECT_TRUE(window.close());
  QApplication::processEvents();
  EXPECT_FALSE(window.isVisible());
}

} // namespace
