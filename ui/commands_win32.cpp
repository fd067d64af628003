#include "ui/commands_win32.h"

#include <commctrl.h>

#include <cstring>
#include <string>

#include "core/shared_state.h"
#include "export/export_win32.h"
#include "settings/stored_settings.h"
#include "ui/controls_win32.h"
#include "ui/main_views.h"
#include "ui/view_navigation.h"
#include "ui/window_layout_win32.h"
#include "ui/window_settings_win32.h"

namespace appcensus {

namespace {

// ---- the tree's nodes in their flat top-to-bottom order -------------------------------

HTREEITEM NextInFlatOrder(HWND tree, HTREEITEM item) {
  if (HTREEITEM child = TreeView_GetChild(tree, item)) return child;
  for (HTREEITEM at = item; at; at = TreeView_GetParent(tree, at))
    if (HTREEITEM next = TreeView_GetNextSibling(tree, at)) return next;
  return nullptr;
}

HTREEITEM TreeItemAt(HWND tree, int position) {
  if (position < 0) return nullptr;
  // Whole branches are skipped at once: each application owns the same number of nodes.
  HTREEITEM item = TreeView_GetRoot(tree);
  while (item && position >= kNodesPerApplication) {
    item = TreeView_GetNextSibling(tree, item);
    position -= kNodesPerApplication;
  }
  for (; item && position > 0; --position) item = NextInFlatOrder(tree, item);
  return item;
}

int TreePositionOf(HWND tree, HTREEITEM target) {
  if (!target) return -1;
  int position = 0;
  for (HTREEITEM item = TreeView_GetRoot(tree); item; item = NextInFlatOrder(tree, item), ++position)
    if (item == target) return position;
  return -1;
}

Text TreeItemText(HWND tree, HTREEITEM item) {
  std::wstring buffer(4096, L'\0');
  TVITEMW data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = buffer.data();
  data.cchTextMax = static_cast<int>(buffer.size());
  if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data))) return Text();
  return Text(reinterpret_cast<const char16_t*>(buffer.c_str()));
}

Text ListItemText(HWND list, int row, int column) {
  std::wstring buffer(4096, L'\0');
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer.data();
  item.cchTextMax = static_cast<int>(buffer.size());
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return Text(reinterpret_cast<const char16_t*>(buffer.c_str()));
}

int SelectedRow(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED)); }

// A right click selects the node under the mouse pointer.
void SelectTreeNodeUnderPointer(HWND tree) {
  TVHITTESTINFO hit{};
  GetCursorPos(&hit.pt);
  ScreenToClient(tree, &hit.pt);
  if (HTREEITEM item = TreeView_HitTest(tree, &hit); item && (hit.flags & TVHT_ONITEM))
    TreeView_SelectItem(tree, item);
}

// ---- commands -------------------------------------------------------------------------

void RequestMachine() {
  SetViewsBusy(1);
  Text machine = WindowText(Gadget(kMachineBox));
  if (machine.empty()) machine = u".";
  Shared().pendingMachineRequest.Set(machine);
  WindowSettings settings;
  LoadMachineHistory(settings);
}

void FilterByName() {
  SetViewsBusy(1);
  FillApplicationViews(Shared().applicationTable);
  LogActivity(u"Traitement par filtre termin\u00e9e.", ActivityLevel::Done, 1);
}

// Ticked or unticked: the views again from the records already read.
void ShowDifferencesOnly(HWND box) {
  SetDifferencesOnly(SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED);
  SetViewsBusy(1);
  FillApplicationViews(Shared().applicationTable);
}

void Export() {
  ExportApplicationsFromWindow(Gadget(kMainWindow), Shared().applicationTable, Shared().lastMachineName,
                               MainActivityLog(), MatchesNameFilter, SetViewsBusy, DifferencesOnly());
}

// Table row to its application's node in the tree.
void ShowTree() {
  SelectPanelTab(1);
  HWND tree = Gadget(kTree);
  const int position = TreePositionForRow(SelectedRow(Gadget(kTable)));
  TreeView_SelectItem(tree, nullptr);
  if (HTREEITEM item = TreeItemAt(tree, position)) {
    TreeView_SelectItem(tree, item);
    TreeView_Expand(tree, item, TVE_EXPAND);
    TreeView_EnsureVisible(tree, item);
  }
}

// Any node of the tree to its application's row in the table.
void ShowTableRow() {
  SelectPanelTab(0);
  HWND tree = Gadget(kTree);
  HWND list = Gadget(kTable);
  const int row = RowForTreePosition(TreePositionOf(tree, TreeView_GetSelection(tree)));
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  if (row < 0 || row >= static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0))) return;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
}

}  // namespace

void OnGadgetClicked(HWND control) {
  if (!control) return;
  if (control == Gadget(kExportButton)) Export();
  else if (control == Gadget(kRequestButton)) RequestMachine();
  else if (control == Gadget(kSearchButton)) FilterByName();
  else if (control == Gadget(kDifferencesBox)) ShowDifferencesOnly(control);
}

void OnViewMouseEvent(HWND view, UINT code) {
  if (!view) return;
  if (view == Gadget(kTable)) {
    if (code == NM_DBLCLK) ShowTree();
    else if (code == NM_RDBLCLK) CopySelectionToClipboard();
  } else if (view == Gadget(kTree)) {
    if (code == NM_RCLICK) {
      SelectTreeNodeUnderPointer(view);
    } else if (code == NM_RDBLCLK) {
      SelectTreeNodeUnderPointer(view);
      ShowTableRow();
    } else if (code == NM_DBLCLK) {
      CopySelectionToClipboard();
    }
  }
}

void OnWindowResized() {
  ApplyWindowLayout();
  WindowSettings settings;
  SaveWindowSize(settings);
}

void CopySelectionToClipboard() {
  HWND focus = GetFocus();
  if (!focus) return;
  Text text;
  if (focus == Gadget(kTable)) {
    const int row = SelectedRow(focus);
    if (row >= 0) text = ListItemText(focus, row, 0);
  } else if (focus == Gadget(kTree)) {
    if (HTREEITEM item = TreeView_GetSelection(focus)) text = TreeItemText(focus, item);
  } else {
    return;
  }
  if (!OpenClipboard(Gadget(kMainWindow))) return;
  EmptyClipboard();
  const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* target = GlobalLock(memory)) {
      std::memcpy(target, text.c_str(), bytes);
      GlobalUnlock(memory);
      // The clipboard owns the memory once it has taken it.
      if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

void LoadStoredSettingsIntoWindow() {
  WindowSettings settings;
  LoadMachineHistory(settings);
  LoadTimeLimitSetting(settings);
  LoadWindowSize(settings);
}

void RequestMachineHistoryReload() {
  MainUiChannel().Post([](Gadgets&) {
    WindowSettings settings;
    LoadMachineHistory(settings);
  });
}

}  // namespace appcensus
