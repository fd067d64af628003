// The application table and tree of the main window: filled from the application table
// through the name filter in the chosen order (by name at first), emptied, hidden while busy.
//
// Every operation but SortByColumn may run on any thread. The rows and nodes are built in the calling thread
// and handed to the window thread as one owned piece of work; the caller never waits for it.
#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <vector>

#include "core/activity_log.h"
#include "core/application_table.h"
#include "core/shared_state.h"
#include "core/text_collation.h"
#include "ui/row_order.h"
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
  // searchText mirrors the search field; lastMachineName is emptied with the views; compare
  // orders the texts.
  ApplicationViews(UiChannel& channel, ActivityLog& log, const SharedText& searchText, SharedText& lastMachineName,
                   TextComparison compare = CollateIgnoringCase)
      : channel_(channel), log_(log), searchText_(searchText), lastMachineName_(lastMachineName), compare_(compare) {}

  void Fill(const ApplicationTable& table);
  void Clear();
  void SetBusy(bool busy);
  bool MatchesNameFilter(TextView name) const;
  // The check box "Diff\u00e9rences uniquement": the next fills show only DifferingApplications.
  void SetDifferencesOnly(bool on) { differencesOnly_ = on; }
  bool DifferencesOnly() const { return differencesOnly_; }

  // Window thread, for a click on the title of `column`: the new order, which holds for the
  // next fills. The views are rebuilt in it from `table`, with the search text of the last
  // fill, logging nothing; while they are busy the fill that ends the wait does it.
  RowOrder SortByColumn(int column, const ApplicationTable& table);
  RowOrder Order() const;
  // Puts `records` in the views' order, as the export writes them.
  void OrderRecords(std::vector<ApplicationRecord>& records) const;

 private:
  // Rebuilds the views from the records that pass `filter`, in the current order.
  void Show(const std::vector<ApplicationRecord>& records, const Text& filter);

  UiChannel& channel_;
  ActivityLog& log_;
  const SharedText& searchText_;
  SharedText& lastMachineName_;
  const TextComparison compare_;
  mutable std::mutex mutex_;  // guards the three below; never held while waiting for a thread
  RowOrder order_;
  Text shownFilter_;  // the search text of the last fill
  bool busy_ = false;
  std::atomic<bool> differencesOnly_{false};
};

}  // namespace appcensus
