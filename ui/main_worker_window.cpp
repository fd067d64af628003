#include "ui/main_worker_window.h"

#include "settings/stored_settings.h"
#include "ui/main_views.h"

namespace appcensus {

void MainWorkerWindow::ClearApplicationViews() { appcensus::ClearApplicationViews(); }
void MainWorkerWindow::FillApplicationViews() { appcensus::FillApplicationViews(Shared().applicationTable); }
void MainWorkerWindow::SetViewsBusy(int busy) { appcensus::SetViewsBusy(busy); }
Text MainWorkerWindow::TimeLimitText() { return TimeLimitFieldText().Get(); }
void MainWorkerWindow::SaveTimeLimitSetting() { appcensus::SaveTimeLimitSetting(TimeLimitFieldText().Get()); }

}  // namespace appcensus
