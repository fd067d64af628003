// The main window as the machine worker sees it: the views, the time-limit field (through
// its mirror, so the worker never waits for the window thread), the stored limit, the machine
// history's reload and the progress bar's reset timer.
#pragma once

#include "request/machine_worker.h"

namespace appcensus {

class MainWorkerWindow : public WorkerWindow {
 public:
  void ClearApplicationViews() override;
  void FillApplicationViews() override;
  void SetViewsBusy(bool busy) override;
  Text TimeLimitText() override;
  void SaveTimeLimitSetting() override;
  void ReloadMachineHistory() override;
  void ScheduleProgressReset() override;
  bool StartRemoteRegistry() override;
};

}  // namespace appcensus
