#include "ui/window_layout_win32.h"

#include <windows.h>
#include <commctrl.h>

#include "ui/controls_win32.h"
#include "ui/window_layout.h"

namespace appcensus {

namespace {

// The panel's pages, in tab order: each holds one view.
HWND Page(int index) {
  static constexpr const char16_t* kViews[3] = {kTable, kTree, kActivityList};
  return GetParent(Gadget(kViews[index]));
}

void PlacePages(HWND panel) {
  RECT area{};
  GetClientRect(panel, &area);
  SendMessageW(panel, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  for (int i = 0; i < 3; ++i)
    MoveWindow(Page(i), area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
}

void Place(HWND control, const GadgetRect& r) { MoveWindow(control, r.x, r.y, r.width, r.height, TRUE); }

WindowLayout LayoutOfWindow(HWND window) {
  RECT inner{};
  GetClientRect(window, &inner);
  return ComputeWindowLayout(inner.right, inner.bottom);
}

}  // namespace

void PlacePageViews() {
  HWND window = Gadget(kMainWindow);
  if (!window) return;
  PlacePages(Gadget(kPanel));
  const WindowLayout layout = LayoutOfWindow(window);
  for (const char16_t* view : {kTable, kTree, kActivityList}) Place(Gadget(view), layout.view);
}

void ApplyWindowLayout() {
  HWND window = Gadget(kMainWindow);
  if (!window) return;
  const WindowLayout layout = LayoutOfWindow(window);
  Place(Gadget(kPanel), layout.panel);
  PlacePageViews();
  Place(Gadget(kSearchField), layout.searchField);
  Place(Gadget(kSearchButton), layout.searchButton);
  Place(Gadget(kExportButton), layout.exportButton);
  Place(Gadget(kSearchLabel), layout.searchLabel);
  Place(Gadget(kDifferencesBox), layout.differencesBox);
  // Gadgets moved into the newly uncovered part of the window are not always repainted by
  // their own move (seen under Wine); repaint the whole window once.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void ShowSelectedPage() {
  const int selected = static_cast<int>(SendMessageW(Gadget(kPanel), TCM_GETCURSEL, 0, 0));
  for (int i = 0; i < 3; ++i) ShowWindow(Page(i), i == selected ? SW_SHOW : SW_HIDE);
}

void SelectPanelTab(int index) {
  HWND panel = Gadget(kPanel);
  if (!panel) return;
  SendMessageW(panel, TCM_SETCURSEL, index, 0);
  ShowSelectedPage();
}

}  // namespace appcensus
