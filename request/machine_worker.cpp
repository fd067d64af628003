#include "request/machine_worker.h"

#include <algorithm>
#include <thread>

namespace appcensus {

std::int64_t TimeLimitMilliseconds(std::int32_t seconds, std::chrono::milliseconds perSecond) {
  const std::int64_t ms = static_cast<std::int64_t>(std::max<std::int32_t>(seconds, 0)) * perSecond.count();
  return std::min(ms, kLongestWaitMs);
}

MachineWorker::MachineWorker(SharedState& state, ActivityLog& log, WorkerWindow& window, MachineJobBody job,
                             std::function<Text()> localHostName, WorkerTiming timing)
    : state_(state),
      log_(log),
      window_(window),
      job_(std::move(job)),
      localHostName_(std::move(localHostName)),
      timing_(timing) {}

void MachineWorker::Run() {
  while (!stop_) {
    std::this_thread::sleep_for(timing_.poll);
    ProcessPendingRequest();
  }
}

bool MachineWorker::ProcessPendingRequest() {
  const SharedText::Version pending = state_.pendingMachineRequest.GetVersion();
  if (pending.text.empty()) return false;
  Text request = pending.text;

  state_.applicationTable.Clear();
  state_.uninstallEntryList.Clear();
  log_.LogActivity(u"D\u00e9marrage du traitement pour la machine " + request, ActivityLevel::None, 1);
  window_.ClearApplicationViews();

  auto gate = std::make_shared<JobGate>();
  TaskThread jobThread;
  // The job gets its own copy of the request, whatever its length.
  const bool started = jobThread.Start([job = job_, request, gate] { job(request, gate); });

  const std::int32_t seconds = LeadingNumber(window_.TimeLimitText());
  const std::int64_t limitMs = TimeLimitMilliseconds(seconds, timing_.perLimitSecond);
  log_.LogActivity(DecimalText(std::max<std::int32_t>(seconds, 0)) +
                       u" secondes de temp d'attente pour le traitement de la machine",
                   ActivityLevel::None, 1);

  bool ended = !started || jobThread.WaitFor(std::chrono::milliseconds(limitMs));
  // A job that committed before the abandon has won: its last writes are under way.
  if (!ended && !gate->Abandon()) ended = jobThread.WaitFor(std::chrono::milliseconds(kLongestWaitMs));
  if (ended) {
    gate->Close();  // an identity test of the job that is still running may write no more
    window_.FillApplicationViews();
    if (request == u".") request = localHostName_();
    state_.lastMachineName.Set(request);
    log_.LogActivity(u"Traitement termin\u00e9 sur la machine " + request, ActivityLevel::Done, 1);
    window_.SaveTimeLimitSetting();
    std::this_thread::sleep_for(timing_.progressResetPause);
    log_.SetStatusProgress(0, 100);
  } else {
    log_.LogActivity(u"Impossible de r\u00e9cuperer les informations de la machine.", ActivityLevel::Error, 1);
    window_.SetViewsBusy(0);
  }
  // A request made meanwhile, even for the same machine, stays for the next pass.
  state_.pendingMachineRequest.ClearIfUnchanged(pending.serial);
  return true;
}

}  // namespace appcensus
