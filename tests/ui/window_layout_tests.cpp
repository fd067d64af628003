#include <gtest/gtest.h>

#include "ui/window_layout.h"

namespace appcensus {
namespace {

// The search row stays centred on the middle of the window (an odd width drops the half
// pixel), the bottom controls keep their distance to the bottom edge, the panel and its views
// take the rest. The real window applies these places (settings_e2e_tests.cpp).
TEST(WindowLayoutTest, GadgetsFollowTheInnerSize) {
  struct Case {
    int width, height;
    GadgetRect panel, view, searchField, searchLabel, searchButton, exportButton;
  };
  const Case cases[] = {
      {622, 300, {1, 80, 622, 120}, {0, 0, 615, 94}, {311, 210, 230, 20}, {111, 210, 185, 15}, {546, 202, 35, 35},
       {40, 240, 225, 20}},
      {1001, 700, {1, 80, 1001, 520}, {0, 0, 994, 494}, {500, 610, 230, 20}, {300, 610, 185, 15}, {735, 602, 35, 35},
       {40, 640, 225, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height);
    const WindowLayout layout = ComputeWindowLayout(c.width, c.height);
    EXPECT_EQ(layout.panel, c.panel);
    EXPECT_EQ(layout.view, c.view);
    EXPECT_EQ(layout.searchField, c.searchField);
    EXPECT_EQ(layout.searchLabel, c.searchLabel);
    EXPECT_EQ(layout.searchButton, c.searchButton);
    EXPECT_EQ(layout.exportButton, c.exportButton);
  }
}

}  // namespace
}  // namespace appcensus
