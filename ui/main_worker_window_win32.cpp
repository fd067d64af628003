#include "ui/main_worker_window_win32.h"

#include "settings/stored_settings.h"
#include "ui/commands_win32.h"
#include "ui/main_views.h"

namespace appcensus {

void MainWorkerWindow::ClearApplicationViews() { appcensus::ClearApplicationViews(); }
void MainWorkerWindow::FillApplicationViews() { appcensus::FillApplicationViews(Shared().applicationTable); }
void MainWorkerWindow::SetViewsBusy(bool busy) { appcensus::SetViewsBusy(busy); }
Text MainWorkerWindow::TimeLimitText() { return TimeLimitFieldText().Get(); }
void MainWorkerWindow::SaveTimeLimitSetting() { appcensus::SaveTimeLimitSetting(TimeLimitFieldText().Get()); }

void MainWorkerWindow::ReloadMachineHistory() { RequestMachineHistoryReload(); }
void MainWorkerWindow::ScheduleProgressReset() { appcensus::ScheduleProgressReset(); }
// The box stores its state at every change.
bool MainWorkerWindow::StartRemoteRegistry() { return LoadStartRemoteRegistrySetting(); }

}  // namespace appcensus
