#include "ui/commands_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

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

void PutOnClipboard(const Text& text) {
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

// A right click selects the node under the mouse pointer.
void SelectTreeNodeUnderPointer(HWND tree) {
  TVHITTESTINFO hit{};
  GetCursorPos(&hit.pt);
  ScreenToClient(tree, &hit.pt);
  if (HTREEITEM item = TreeView_HitTest(tree, &hit); item && (hit.flags & TVHT_ONITEM))
    TreeView_SelectItem(tree, item);
}

// ---- commands -------------------------------------------------------------------------

// The machine text of the last request of this run, for F5.
Text& LastRequest() {
  static Text last;
  return last;
}

void SubmitRequest(const Text& machines) {
  KillTimer(Gadget(kMainWindow), kProgressResetTimer);  // the new request's progress counts now
  SetViewsBusy(true);
  LastRequest() = machines;
  // A request the worker has not taken yet gives way to this one; the user is told.
  if (const Text replaced = Shared().pendingMachineRequest.Exchange(machines); !replaced.empty())
    LogActivity(u"Demande remplac\u00e9e : " + replaced, ActivityLevel::None, 1);
  WindowSettings settings;
  LoadMachineHistory(settings);
}

void RequestMachine() {
  Text machine = WindowText(Gadget(kMachineBox));
  if (machine.empty()) machine = u".";
  SubmitRequest(machine);
}

// F5: the last request again; before any, what the request button would ask.
void RepeatLastRequest() {
  if (LastRequest().empty()) RequestMachine();
  else SubmitRequest(LastRequest());
}

void FilterByName() {
  SetViewsBusy(true);
  FillApplicationViews(Shared().applicationTable);
  LogActivity(u"Traitement par filtre termin\u00e9e.", ActivityLevel::Done, 1);
}

// Ticked or unticked: the views again from the records already read.
void ShowDifferencesOnly(HWND box) {
  SetDifferencesOnly(SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED);
  SetViewsBusy(true);
  FillApplicationViews(Shared().applicationTable);
}

void Export() {
  ExportApplicationsFromWindow(Gadget(kMainWindow), Shared().applicationTable, Shared().lastMachineName,
                               MainActivityLog(), MatchesNameFilter, SetViewsBusy, OrderLikeApplicationViews,
                               DifferencesOnly());
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

// ---- the menu of a table row -----------------------------------------------------------

// A right click opens the row's menu once the time of a double-click has passed without a
// second click, so that a right double-click keeps copying the name.
constexpr UINT_PTR kRowMenuTimer = 2;  // beside kProgressResetTimer

enum RowMenuCommand : UINT { kCopyName = 1, kCopyRow, kCopyUninstallCommand };

// The row's cells in the order the column titles stand (the user may have dragged them),
// separated by tabs.
Text RowText(HWND list, int row) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  std::vector<int> order(static_cast<std::size_t>(std::max(columns, 0)));
  if (!SendMessageW(list, LVM_GETCOLUMNORDERARRAY, order.size(), reinterpret_cast<LPARAM>(order.data())))
    for (int i = 0; i < columns; ++i) order[i] = i;
  Text text;
  for (std::size_t i = 0; i < order.size(); ++i) text += (i ? u"\t" : u"") + ListItemText(list, row, order[i]);
  return text;
}

void ShowRowMenu() {
  HWND list = Gadget(kTable);
  const int row = SelectedRow(list);
  if (row < 0 || !IsWindowVisible(list)) return;
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  AppendMenuW(menu, MF_STRING, kCopyName, L"Copier le nom");
  AppendMenuW(menu, MF_STRING, kCopyRow, L"Copier la ligne");
  AppendMenuW(menu, MF_STRING, kCopyUninstallCommand, L"Copier la commande de d\u00e9sinstallation");
  POINT at{};
  GetCursorPos(&at);
  const UINT chosen = static_cast<UINT>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, Gadget(kMainWindow), nullptr));
  DestroyMenu(menu);
  if (chosen == kCopyName) PutOnClipboard(ListItemText(list, row, kNameColumn));
  else if (chosen == kCopyRow) PutOnClipboard(RowText(list, row));
  else if (chosen == kCopyUninstallCommand) PutOnClipboard(ListItemText(list, row, kUninstallCommandColumn));
}

bool ControlDown() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

}  // namespace

void OnGadgetClicked(HWND control) {
  if (!control) return;
  if (control == Gadget(kExportButton)) Export();
  else if (control == Gadget(kRequestButton)) RequestMachine();
  else if (control == Gadget(kSearchButton)) FilterByName();
  else if (control == Gadget(kStartRemoteRegistryBox))
    SaveStartRemoteRegistrySetting(SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED);
  else if (control == Gadget(kDifferencesBox)) ShowDifferencesOnly(control);
}

void OnViewMouseEvent(HWND view, UINT code) {
  if (!view) return;
  if (view == Gadget(kTable)) {
    if (code == NM_DBLCLK) {
      ShowTree();
    } else if (code == NM_RCLICK) {
      SetTimer(Gadget(kMainWindow), kRowMenuTimer, GetDoubleClickTime(), nullptr);
    } else if (code == NM_RDBLCLK) {
      KillTimer(Gadget(kMainWindow), kRowMenuTimer);
      CopySelectionToClipboard();
    }
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

void OnColumnClicked(int column) {
  if (column < 0 || column >= kColumnCount) return;
  ShowSortArrow(Gadget(kTable), SortApplicationViewsByColumn(column));
}

void OnTimer(UINT_PTR id) {
  if (id == kProgressResetTimer) OnProgressResetTimer();
  if (id != kRowMenuTimer) return;
  KillTimer(Gadget(kMainWindow), kRowMenuTimer);
  ShowRowMenu();
}

bool OnKeyMessage(const MSG& message) {
  if (message.message != WM_KEYDOWN) return false;
  HWND target = message.hwnd;
  HWND window = Gadget(kMainWindow);
  if (!target || (target != window && !IsChild(window, target))) return false;
  if (message.wParam == VK_F5) {
    RepeatLastRequest();
    return true;
  }
  if (message.wParam == 'C' && ControlDown() && (target == Gadget(kTable) || target == Gadget(kTree))) {
    CopySelectionToClipboard();
    return true;
  }
  if (message.wParam != VK_RETURN) return false;
  HWND machineBox = Gadget(kMachineBox);
  if (target == machineBox || GetParent(target) == machineBox) {
    SendMessageW(machineBox, CB_SHOWDROPDOWN, FALSE, 0);  // a name picked in the opened list stays
    RequestMachine();
  } else if (target == Gadget(kSearchField)) {
    FilterByName();
  } else if (target == Gadget(kRequestButton) || target == Gadget(kSearchButton) || target == Gadget(kExportButton)) {
    OnGadgetClicked(target);
  } else {
    return false;
  }
  return true;
}

void ShowSortArrow(HWND list, RowOrder order) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < columns; ++i) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (!SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item))) continue;
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (i == order.column) item.fmt |= order.descending ? HDF_SORTDOWN : HDF_SORTUP;
    SendMessageW(header, HDM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
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
  PutOnClipboard(text);
}

void LoadStoredSettingsIntoWindow() {
  WindowSettings settings;
  LoadMachineHistory(settings);
  LoadTimeLimitSetting(settings);
  SendMessageW(Gadget(kStartRemoteRegistryBox), BM_SETCHECK,
               LoadStartRemoteRegistrySetting() ? BST_CHECKED : BST_UNCHECKED, 0);
}

void ScheduleProgressReset() {
  MainUiChannel().Post([](Gadgets&) { SetTimer(Gadget(kMainWindow), kProgressResetTimer, kProgressResetDelayMs, nullptr); });
}

void OnProgressResetTimer() {
  KillTimer(Gadget(kMainWindow), kProgressResetTimer);
  SetStatusProgress(0, 100);
}

void RequestMachineHistoryReload() {
  MainUiChannel().Post([](Gadgets&) {
    WindowSettings settings;
    LoadMachineHistory(settings);
  });
}

}  // namespace appcensus
