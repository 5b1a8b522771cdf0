#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>

#include "app/MainFrame.h"

namespace {
int g_argc = 1;
char g_arg0[] = "orv_app_tests";
char* g_argv[] = {g_arg0, nullptr};
}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Widgets are tested on the offscreen platform unless told otherwise.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(g_argc, g_argv);
  std::setlocale(LC_NUMERIC, "C");
  return RUN_ALL_TESTS();
}

TEST(MainFrame, OpensWithTitleAndFourPanesAndClosesCleanly) {
  CMainFrame frame;
  frame.show();
  QApplication::processEvents();
  EXPECT_EQ(frame.windowTitle(), "Orvane");
  for (int i = 0; i < 4; ++i) EXPECT_NE(frame.Pane(i), nullptr);
  EXPECT_EQ(frame.Pane(4), nullptr);
  EXPECT_TRUE(frame.close());
  QApplication::processEvents();
  EXPECT_FALSE(frame.isVisible());
}
