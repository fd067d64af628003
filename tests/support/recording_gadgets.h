// Gadgets that keep what they are told, for tests: the table, the tree in flat top-to-bottom
// order, row backgrounds, visibility, the activity rows, the status fields, the progress bar,
// the number of batches, and the order of the operations that fill the views.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ui/gadgets.h"

namespace appcensus {

class RecordingGadgets : public Gadgets {
 public:
  std::vector<std::string> calls;  // table clears and fills, activity rows, visibility
  std::vector<TableRow> rows;
  std::vector<TreeNode> nodes;
  std::map<int, RgbColour> rowBackgrounds;
  bool viewsVisible = true;
  std::vector<Text> activityTexts;  // the activity rows
  std::vector<NamedValue> activityImages;
  Text statusTexts[4];
  NamedValue statusIcon = 0;
  std::vector<std::pair<int, int>> progress;  // value and maximum, call by call
  bool progressVisible = true;
  int batches = 0;

  void EndUpdate() override { ++batches; }
  void ClearTable() override {
    calls.push_back("ClearTable");
    rows.clear();
    rowBackgrounds.clear();
  }
  void ClearTree() override { nodes.clear(); }
  void AppendTableRows(std::span<const TableRow> added) override {
    calls.push_back("AppendTableRows");
    rows.insert(rows.end(), added.begin(), added.end());
  }
  void AppendTreeNodes(std::span<const TreeNode> added) override { nodes.insert(nodes.end(), added.begin(), added.end()); }
  void SetRowBackground(int row, RgbColour colour) override { rowBackgrounds[row] = colour; }
  void SetViewsVisible(bool visible) override {
    calls.push_back(visible ? "ShowViews" : "HideViews");
    viewsVisible = visible;
  }
  void AppendActivityRow(TextView text, NamedValue image) override {
    calls.push_back("AppendActivityRow");
    activityTexts.emplace_back(text);
    activityImages.push_back(image);
  }
  void SetStatusText(int field, TextView text) override { statusTexts[field] = Text(text); }
  void SetStatusIcon(NamedValue image) override { statusIcon = image; }
  void SetStatusProgress(int value, int maximum) override { progress.emplace_back(value, maximum); }
  void SetProgressVisible(bool visible) override { progressVisible = visible; }
};

}  // namespace appcensus
