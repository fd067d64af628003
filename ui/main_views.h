// The process-wide entry points to the main window's views and log, callable from any
// thread. Until the window thread attaches its controls to MainUiChannel(), calls only
// queue up; they are applied once the window exists.
#pragma once

#include "core/activity_log.h"
#include "core/application_table.h"
#include "core/shared_state.h"
#include "ui/row_order.h"
#include "ui/ui_channel.h"

namespace appcensus {

UiChannel& MainUiChannel();
// The activity log of the main window (list, status bar, progress bar).
ActivityLog& MainActivityLog();

// Texts of the search field and of the time-limit field, kept by the window thread at every
// change, so that other threads read them without waiting for it.
SharedText& SearchFieldText();
SharedText& TimeLimitFieldText();

void LogActivity(TextView text, ActivityLevel level, int statusField);
void SetStatusProgress(int value, int maximum);

// Rebuilds the table and the tree from `table` through the name filter, logs the count and
// shows the views again.
void FillApplicationViews(const ApplicationTable& table);
// Empties the views, status field 3 and LastMachineName.
void ClearApplicationViews();
// Non-zero: logs "Traitement en cours..." and hides the table and the tree; 0 shows them.
void SetViewsBusy(bool busy);
// Whether `name` passes the search field's text.
bool MatchesNameFilter(TextView name);
// Window thread, for a click on a column title: the views' new order, in which they are
// rebuilt from ApplicationTable unless busy.
RowOrder SortApplicationViewsByColumn(int column);
// Puts `records` in the order of the views.
void OrderLikeApplicationViews(std::vector<ApplicationRecord>& records);
// The check box "Diff\u00e9rences uniquement", mirrored for the fills of every thread.
void SetDifferencesOnly(bool on);
bool DifferencesOnly();

}  // namespace appcensus
