// The application table and tree of the main window: filled from the application table
// through the name filter, emptied, hidden while busy.
//
// Every operation may run on any thread. The rows and nodes are built in the calling thread
// and handed to the window thread as one owned piece of work; the caller never waits for it.
#pragma once

#include <array>
#include <atomic>
#include <vector>

#include "core/activity_log.h"
#include "core/application_table.h"
#include "core/shared_state.h"
#include "ui/ui_channel.h"

namespace appcensus {

// Background of the shown rows 0, 2, 4...
inline constexpr RgbColour kShadedRowColour{255, 247, 179};
// Rows (with their tree nodes) a fill hands to the views per drain of the window thread.
inline constexpr std::size_t kRowsPerDrain = 500;

TableRow ApplicationTableRow(const ApplicationRecord& record);
// The record's node and its eight leaves, with the images registered under their names.
std::array<TreeNode, 9> ApplicationBranch(const ApplicationRecord& record);

// "<n> applications"
Text ApplicationCountText(std::size_t count);

class ApplicationViews {
 public:
  // searchText mirrors the search field; lastMachineName is emptied with the views.
  ApplicationViews(UiChannel& channel, ActivityLog& log, const SharedText& searchText, SharedText& lastMachineName)
      : channel_(channel), log_(log), searchText_(searchText), lastMachineName_(lastMachineName) {}

  void Fill(const ApplicationTable& table);
  void Clear();
  void SetBusy(int busy);
  bool MatchesNameFilter(TextView name) const;
  // The check box "Diff\u00e9rences uniquement": the next fills show only DifferingApplications.
  void SetDifferencesOnly(bool on) { differencesOnly_ = on; }
  bool DifferencesOnly() const { return differencesOnly_; }

 private:
  UiChannel& channel_;
  ActivityLog& log_;
  const SharedText& searchText_;
  SharedText& lastMachineName_;
  std::atomic<bool> differencesOnly_{false};
};

}  // namespace appcensus
