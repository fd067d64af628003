#include <gtest/gtest.h>

#include "ui/window_layout.h"

namespace appcensus {
namespace {

TEST(WindowLayoutTest, MinimumInnerSizePlacesEveryResizableGadget) {
  const WindowLayout layout = ComputeWindowLayout(622, 300);
  EXPECT_EQ(layout.panel, (GadgetRect{1, 80, 622, 120}));
  EXPECT_EQ(layout.view, (GadgetRect{0, 0, 615, 94}));
  EXPECT_EQ(layout.searchLabel, (GadgetRect{111, 210, 185, 15}));
  EXPECT_EQ(layout.searchField, (GadgetRect{311, 210, 230, 20}));
  EXPECT_EQ(layout.searchButton, (GadgetRect{546, 202, 35, 35}));
  EXPECT_EQ(layout.exportButton, (GadgetRect{40, 240, 225, 20}));
}

TEST(WindowLayoutTest, OddWidthDropsTheHalfPixel) {
  const WindowLayout layout = ComputeWindowLayout(623, 300);
  EXPECT_EQ(layout.searchField.x, 311);
  EXPECT_EQ(layout.searchLabel.x, 111);
  EXPECT_EQ(layout.searchButton.x, 546);
  EXPECT_EQ(layout.panel.width, 623);
  EXPECT_EQ(layout.view.width, 616);
}

TEST(WindowLayoutTest, SearchRowStaysCentredAndBottomControlsKeepTheirDistance) {
  for (int width : {622, 800, 1001, 1920}) {
    for (int height : {300, 700, 1080}) {
      const WindowLayout layout = ComputeWindowLayout(width, height);
      const int middle = width / 2;
      EXPECT_EQ(layout.searchLabel.x + layout.searchLabel.width, middle - 15);
      EXPECT_EQ(layout.searchField.x, middle);
      EXPECT_EQ(layout.searchButton.x, layout.searchField.x + layout.searchField.width + 5);
      EXPECT_EQ(height - layout.searchField.y, 90);
      EXPECT_EQ(height - layout.searchButton.y, 98);
      EXPECT_EQ(height - layout.exportButton.y, 60);
      EXPECT_EQ(layout.panel.height - layout.view.height, 26);
      EXPECT_EQ(layout.panel.width - layout.view.width, 7);
    }
  }
}

}  // namespace
}  // namespace appcensus
