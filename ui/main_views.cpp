#include "ui/main_views.h"

#include "ui/activity_view.h"
#include "ui/application_views.h"

namespace appcensus {

namespace {

struct MainViews {
  UiChannel channel;
  GadgetActivityLog log{channel};
  SharedText searchText;
  SharedText timeLimitText;
  ApplicationViews views{channel, log, searchText, Shared().lastMachineName};
};

// Never destroyed: other threads may still call in while the process ends.
MainViews& TheMainViews() {
  static MainViews* const views = new MainViews();
  return *views;
}

}  // namespace

UiChannel& MainUiChannel() { return TheMainViews().channel; }
ActivityLog& MainActivityLog() { return TheMainViews().log; }
SharedText& SearchFieldText() { return TheMainViews().searchText; }
SharedText& TimeLimitFieldText() { return TheMainViews().timeLimitText; }

void LogActivity(TextView text, ActivityLevel level, int statusField) { TheMainViews().log.LogActivity(text, level, statusField); }
void SetStatusProgress(int value, int maximum) { TheMainViews().log.SetStatusProgress(value, maximum); }

void FillApplicationViews(const ApplicationTable& table) { TheMainViews().views.Fill(table); }
void ClearApplicationViews() { TheMainViews().views.Clear(); }
void SetViewsBusy(bool busy) { TheMainViews().views.SetBusy(busy); }
bool MatchesNameFilter(TextView name) { return TheMainViews().views.MatchesNameFilter(name); }
RowOrder SortApplicationViewsByColumn(int column) {
  return TheMainViews().views.SortByColumn(column, Shared().applicationTable);
}
void OrderLikeApplicationViews(std::vector<ApplicationRecord>& records) { TheMainViews().views.OrderRecords(records); }
void SetDifferencesOnly(bool on) { TheMainViews().views.SetDifferencesOnly(on); }
bool DifferencesOnly() { return TheMainViews().views.DifferencesOnly(); }

}  // namespace appcensus
