// The gadget interface on the real controls of the main window. Window thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <vector>

#include "ui/gadgets.h"
#include "ui/handles_win32.h"

namespace appcensus {

// A row's shading is kept in its item data: this flag plus the colour; 0 for none.
inline constexpr LPARAM kRowShadedFlag = 0x01000000;

// A 16-pixel image list that takes registered images by value, each added once.
class SmallImageList {
 public:
  SmallImageList();
  HIMAGELIST get() const { return list_.get(); }
  // Index of the image in the list; I_IMAGENONE when value is 0 or unusable.
  int IndexOf(NamedValue value);

 private:
  UniqueImageList list_;
  std::map<NamedValue, int> indexes_;
};

class Win32Gadgets : public Gadgets {
 public:
  // The controls are looked up by name at each call, as every other part does. The tree and
  // the activity list take TreeImages() and ActivityImages() when they are created.
  HIMAGELIST TreeImages() const { return treeImages_.get(); }
  HIMAGELIST ActivityImages() const { return activityImages_.get(); }

  void BeginUpdate() override;
  void EndUpdate() override;
  void ClearTable() override;
  void ClearTree() override;
  void AppendTableRows(std::span<const TableRow> rows) override;
  void AppendTreeNodes(std::span<const TreeNode> nodes) override;
  void SetRowBackground(int row, RgbColour colour) override;
  void SetViewsVisible(bool visible) override;
  void AppendActivityRow(TextView text, NamedValue image) override;
  void SetStatusText(int field, TextView text) override;
  void SetStatusIcon(NamedValue image) override;
  void SetStatusProgress(int value, int maximum) override;
  void SetProgressVisible(bool visible) override;

 private:
  // Switches redrawing of a control off until EndUpdate.
  void Quiet(HWND control);

  SmallImageList treeImages_;
  SmallImageList activityImages_;
  std::vector<HTREEITEM> parents_;  // last node appended at each level
  std::vector<HWND> quiet_;
  bool viewsVisible_ = true;
};

// Where the progress bar goes: status field 2, inside its border.
void PlaceProgressBar(HWND statusBar, HWND progressBar);

}  // namespace appcensus
