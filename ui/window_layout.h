// Geometry of the main window: creation sizes and the rules that fit the panel, the views
// and the search and export controls to the window's inner size. Pure arithmetic, so the
// rules are checked without a window.
#pragma once

namespace appcensus {

struct GadgetRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  bool operator==(const GadgetRect&) const = default;
};

// Outer top-left corner of the window on the screen at creation.
inline constexpr int kWindowCreationX = 391;
inline constexpr int kWindowCreationY = 88;
// Inner size at creation, which is also the smallest inner size.
inline constexpr int kWindowMinInnerWidth = 622;
inline constexpr int kWindowMinInnerHeight = 300;

// Widths of the four status-bar fields, left to right; the progress bar lives in field 2.
inline constexpr int kStatusFieldWidths[4] = {20, 400, 100, 100};
inline constexpr int kProgressField = 2;

// Where each resizable gadget goes for an inner size of width x height. The views are
// placed on their tab page; everything else on the window.
struct WindowLayout {
  GadgetRect panel;
  GadgetRect view;
  GadgetRect searchField;
  GadgetRect searchLabel;
  GadgetRect searchButton;
  GadgetRect exportButton;
  GadgetRect differencesBox;
};

WindowLayout ComputeWindowLayout(int innerWidth, int innerHeight);

// The window's outer rectangle moved, and shrunk where it is larger, so that it lies inside
// `area`; a window already inside stays as it is.
GadgetRect FitInArea(GadgetRect window, GadgetRect area);

}  // namespace appcensus
