// Gadgets that keep what they are told, for tests: the table, the tree in flat top-to-bottom
// order, row backgrounds, visibility, the activity rows, the status fields and the progress
// bar, and the names of the calls in order.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ui/gadgets.h"

namespace appcensus {

class RecordingGadgets : public Gadgets {
 public:
  struct ActivityRow {
    Text text;
    NamedValue image = 0;
    bool operator==(const ActivityRow&) const = default;
  };

  std::vector<std::string> calls;
  std::vector<TableRow> rows;
  std::vector<TreeNode> nodes;
  std::map<int, RgbColour> rowBackgrounds;
  bool viewsVisible = true;
  std::vector<ActivityRow> activityRows;
  Text statusTexts[4];
  NamedValue statusIcon = 0;
  int progressValue = 0;
  int progressMaximum = 100;
  bool progressVisible = true;
  int updates = 0;  // batches opened and closed

  void BeginUpdate() override { calls.push_back("BeginUpdate"); }
  void EndUpdate() override {
    calls.push_back("EndUpdate");
    ++updates;
  }
  void ClearTable() override {
    calls.push_back("ClearTable");
    rows.clear();
    rowBackgrounds.clear();
  }
  void ClearTree() override {
    calls.push_back("ClearTree");
    nodes.clear();
  }
  void AppendTableRows(std::span<const TableRow> added) override {
    calls.push_back("AppendTableRows");
    rows.insert(rows.end(), added.begin(), added.end());
  }
  void AppendTreeNodes(std::span<const TreeNode> added) override {
    calls.push_back("AppendTreeNodes");
    nodes.insert(nodes.end(), added.begin(), added.end());
  }
  void SetRowBackground(int row, RgbColour colour) override {
    calls.push_back("SetRowBackground");
    rowBackgrounds[row] = colour;
  }
  void SetViewsVisible(bool visible) override {
    calls.push_back(visible ? "ShowViews" : "HideViews");
    viewsVisible = visible;
  }
  void AppendActivityRow(TextView text, NamedValue image) override {
    calls.push_back("AppendActivityRow");
    activityRows.push_back({Text(text), image});
  }
  void SetStatusText(int field, TextView text) override {
    calls.push_back("SetStatusText" + std::to_string(field));
    statusTexts[field] = Text(text);
  }
  void SetStatusIcon(NamedValue image) override {
    calls.push_back("SetStatusIcon");
    statusIcon = image;
  }
  void SetStatusProgress(int value, int maximum) override {
    calls.push_back("SetStatusProgress");
    progressValue = value;
    progressMaximum = maximum;
  }
  void SetProgressVisible(bool visible) override {
    calls.push_back(visible ? "ShowProgress" : "HideProgress");
    progressVisible = visible;
  }
};

}  // namespace appcensus
