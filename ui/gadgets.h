// What the application views, the name filter and the activity log need from the window's
// controls. The window thread is the only caller; the Win32 implementation drives the real
// controls, RecordingGadgets (recording_gadgets.h) keeps what it is told for tests.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "core/text.h"
#include "ui/named_ids.h"

namespace appcensus {

struct RgbColour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  bool operator==(const RgbColour&) const = default;
};

// One row of the application table: the nine cells, left to right.
struct TableRow {
  std::array<Text, 9> cells;

  bool operator==(const TableRow&) const = default;
};

// One node of the application tree. A node of level 1 goes under the last node of level 0.
// image is the registered image value (0: no image).
struct TreeNode {
  Text text;
  NamedValue image = 0;
  int level = 0;

  bool operator==(const TreeNode&) const = default;
};

class Gadgets {
 public:
  virtual ~Gadgets() = default;

  // Brackets a batch of operations; implementations switch redrawing off in between.
  virtual void BeginUpdate() {}
  virtual void EndUpdate() {}

  // Application table and tree.
  virtual void ClearTable() = 0;
  virtual void ClearTree() = 0;
  virtual void AppendTableRows(std::span<const TableRow> rows) = 0;
  virtual void AppendTreeNodes(std::span<const TreeNode> nodes) = 0;
  virtual void SetRowBackground(int row, RgbColour colour) = 0;
  virtual void SetViewsVisible(bool visible) = 0;

  // Activity list and status bar.
  virtual void AppendActivityRow(TextView text, NamedValue image) = 0;
  virtual void SetStatusText(int field, TextView text) = 0;
  virtual void SetStatusIcon(NamedValue image) = 0;
  virtual void SetStatusProgress(int value, int maximum) = 0;
  virtual void SetProgressVisible(bool visible) = 0;
};

}  // namespace appcensus
