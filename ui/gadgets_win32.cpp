#include "ui/gadgets_win32.h"

#include <algorithm>

#include "ui/controls_win32.h"
#include "ui/icons_win32.h"
#include "ui/window_layout.h"
#include "core/win32_text.h"

namespace appcensus {

SmallImageList::SmallImageList() : list_(ImageList_Create(16, 16, ILC_COLOR32, 16, 16)) {}

int SmallImageList::IndexOf(NamedValue value) {
  if (value == 0 || !list_) return I_IMAGENONE;
  if (const auto it = indexes_.find(value); it != indexes_.end()) return it->second;
  int index = I_IMAGENONE;
  if (const RgbaImage* pixels = IconPixels(reinterpret_cast<HBITMAP>(value))) {
    // 16-pixel images go in as registered; 32-pixel ones at half size.
    UniqueBitmap small;
    if (pixels->width == 32) {
      RgbaImage premultiplied = *pixels;
      PremultiplyAlpha(premultiplied);
      small.reset(CreateBgraBitmap(HalveImage(premultiplied)));
    }
    HBITMAP bitmap = pixels->width == 32 ? small.get() : reinterpret_cast<HBITMAP>(value);
    if (bitmap && (pixels->width == 16 || pixels->width == 32)) {
      const int added = ImageList_Add(list_.get(), bitmap, nullptr);
      if (added >= 0) index = added;
    }
  }
  indexes_[value] = index;
  return index;
}

void Win32Gadgets::Quiet(HWND control) {
  if (!control || std::find(quiet_.begin(), quiet_.end(), control) != quiet_.end()) return;
  SendMessageW(control, WM_SETREDRAW, FALSE, 0);
  quiet_.push_back(control);
}

void Win32Gadgets::BeginUpdate() { quiet_.clear(); }

void Win32Gadgets::EndUpdate() {
  for (HWND control : quiet_) {
    SendMessageW(control, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(control, nullptr, TRUE);
  }
  quiet_.clear();
  // Turning redraw back on may show a window again; the views keep their busy state.
  const int show = viewsVisible_ ? SW_SHOWNA : SW_HIDE;
  ShowWindow(Gadget(kTable), show);
  ShowWindow(Gadget(kTree), show);
}

void Win32Gadgets::ClearTable() {
  HWND list = Gadget(kTable);
  Quiet(list);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
}

void Win32Gadgets::ClearTree() {
  HWND tree = Gadget(kTree);
  Quiet(tree);
  SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  parents_.clear();
}

void Win32Gadgets::AppendTableRows(std::span<const TableRow> rows) {
  HWND list = Gadget(kTable);
  if (!list || rows.empty()) return;
  Quiet(list);
  int next = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  SendMessageW(list, LVM_SETITEMCOUNT, next + static_cast<int>(rows.size()), LVSICF_NOINVALIDATEALL);
  for (const TableRow& row : rows) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = next;
    item.pszText = const_cast<LPWSTR>(Wide(row.cells[0]));
    const int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) continue;
    for (int column = 1; column < 9; ++column) {
      LVITEMW cell{};
      cell.iSubItem = column;
      cell.pszText = const_cast<LPWSTR>(Wide(row.cells[column]));
      SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&cell));
    }
    next = index + 1;
  }
}

void Win32Gadgets::AppendTreeNodes(std::span<const TreeNode> nodes) {
  HWND tree = Gadget(kTree);
  if (!tree || nodes.empty()) return;
  Quiet(tree);
  for (const TreeNode& node : nodes) {
    const std::size_t level = static_cast<std::size_t>(std::max(node.level, 0));
    if (level > parents_.size()) continue;  // a leaf without a parent: nothing to hang it on
    TVINSERTSTRUCTW insert{};
    insert.hParent = level == 0 ? TVI_ROOT : parents_[level - 1];
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<LPWSTR>(Wide(node.text));
    insert.item.iImage = insert.item.iSelectedImage = treeImages_.IndexOf(node.image);
    auto* added = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!added) continue;
    parents_.resize(level + 1);
    parents_[level] = added;
  }
}

void Win32Gadgets::SetRowBackground(int row, RgbColour colour) {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.lParam = kRowShadedFlag | RGB(colour.red, colour.green, colour.blue);
  SendMessageW(Gadget(kTable), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void Win32Gadgets::SetViewsVisible(bool visible) {
  viewsVisible_ = visible;
  const int show = visible ? SW_SHOWNA : SW_HIDE;
  ShowWindow(Gadget(kTable), show);
  ShowWindow(Gadget(kTree), show);
}

void Win32Gadgets::AppendActivityRow(TextView text, NamedValue image) {
  HWND activity = Gadget(kActivityList);
  if (!activity) return;
  Quiet(activity);
  Text copy(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = static_cast<int>(SendMessageW(activity, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = const_cast<LPWSTR>(Wide(copy));
  item.iImage = activityImages_.IndexOf(image);
  SendMessageW(activity, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void Win32Gadgets::SetStatusText(int field, TextView text) {
  Text copy(text);
  SendMessageW(Gadget(kStatusBar), SB_SETTEXTW, static_cast<WPARAM>(field),
               reinterpret_cast<LPARAM>(copy.c_str()));
}

void Win32Gadgets::SetStatusIcon(NamedValue image) {
  // Drawn by the window on WM_DRAWITEM, from the bitmap kept as the field's data.
  HWND status = Gadget(kStatusBar);
  SendMessageW(status, SB_SETTEXTW, 0 | SBT_OWNERDRAW | SBT_NOBORDERS, static_cast<LPARAM>(image));
  InvalidateRect(status, nullptr, FALSE);
}

void Win32Gadgets::SetStatusProgress(int value, int maximum) {
  HWND progress = Gadget(kStatusBar) ? GetWindow(Gadget(kStatusBar), GW_CHILD) : nullptr;
  SendMessageW(progress, PBM_SETRANGE32, 0, maximum);
  SendMessageW(progress, PBM_SETPOS, value, 0);
}

void Win32Gadgets::SetProgressVisible(bool visible) {
  HWND status = Gadget(kStatusBar);
  HWND progress = status ? GetWindow(status, GW_CHILD) : nullptr;
  if (progress) ShowWindow(progress, visible ? SW_SHOWNA : SW_HIDE);
}

void PlaceProgressBar(HWND statusBar, HWND progressBar) {
  RECT field{};
  if (!SendMessageW(statusBar, SB_GETRECT, kProgressField, reinterpret_cast<LPARAM>(&field))) return;
  MoveWindow(progressBar, field.left + 1, field.top + 1, field.right - field.left - 2, field.bottom - field.top - 2, TRUE);
}

}  // namespace appcensus
