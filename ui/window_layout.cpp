#include "ui/window_layout.h"

#include <algorithm>

namespace appcensus {

WindowLayout ComputeWindowLayout(int innerWidth, int innerHeight) {
  const int w = innerWidth;
  const int h = innerHeight;
  const int half = w / 2;  // the window is never narrower than 622, so this drops the fraction
  WindowLayout layout;
  layout.panel = {1, 80, w, h - 180};
  layout.view = {0, 0, w - 7, h - 206};
  // The search row stays centred: the label ends 15 pixels left of the middle, the field
  // starts on it and the button 5 pixels right of the field.
  layout.searchField = {half, h - 90, 230, 20};
  layout.searchLabel = {half - 200, h - 90, 185, 15};
  layout.searchButton = {half + 235, h - 98, 35, 35};
  layout.exportButton = {40, h - 60, 225, 20};
  // The check box "Diff\u00e9rences uniquement" under the search field, at its left edge.
  layout.differencesBox = {half, h - 62, 180, 17};
  return layout;
}

GadgetRect FitInArea(GadgetRect window, GadgetRect area) {
  const auto fit = [](int& at, int& size, int areaAt, int areaSize) {
    if (areaSize <= 0) return;
    size = std::min(size, areaSize);
    at = std::clamp(at, areaAt, areaAt + areaSize - size);
  };
  fit(window.x, window.width, area.x, area.width);
  fit(window.y, window.height, area.y, area.height);
  return window;
}

}  // namespace appcensus
