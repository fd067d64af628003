#include "request/machine_worker.h"

#include <algorithm>

#include "settings/stored_settings.h"

namespace appcensus {

namespace {

// Hands the machines' activity to the window's log as it comes, keeps each machine's records
// in the table as soon as it is done and, for a list, closes each machine with a line.
class WorkerReport : public MachineReport {
 public:
  WorkerReport(ActivityLog& log, ApplicationTable& table, bool list) : log_(log), table_(table), list_(list) {}
  void Activity(TextView, TextView text, ActivityLevel level, int statusField) override {
    log_.LogActivity(text, level, statusField);
  }
  void Progress(TextView, int value, int maximum) override { log_.SetStatusProgress(value, maximum); }
  void MachineDone(const MachineResult& result) override {
    for (const ApplicationRecord& record : result.records) table_.Store(record);
    if (list_)
      log_.LogActivity(MachineClosingLine(result),
                       result.outcome == MachineOutcome::Listed ? ActivityLevel::Done : ActivityLevel::Error, 1);
  }

 private:
  ActivityLog& log_;
  ApplicationTable& table_;
  const bool list_;
};

}  // namespace

Text MachineClosingLine(const MachineResult& result) {
  const Text head = u"Machine " + result.machine + u" : ";
  switch (result.outcome) {
    case MachineOutcome::Listed:
      return head + DecimalText(static_cast<std::int64_t>(result.records.size())) + u" applications.";
    case MachineOutcome::Unreachable: return head + u"aucune r\u00e9ponse, aucune application r\u00e9cup\u00e9r\u00e9e.";
    case MachineOutcome::OtherMachine: return head + u"une autre machine r\u00e9pond sous ce nom, aucune application r\u00e9cup\u00e9r\u00e9e.";
    case MachineOutcome::TimedOut: return head + u"temps d'attente d\u00e9pass\u00e9, aucune application r\u00e9cup\u00e9r\u00e9e.";
  }
  return head;
}

MachineWorker::MachineWorker(SharedState& state, ActivityLog& log, WorkerWindow& window, RequestOptions options,
                             std::function<Text()> localHostName, std::chrono::milliseconds perLimitSecond)
    : state_(state),
      log_(log),
      window_(window),
      options_(options),
      localHostName_(std::move(localHostName)),
      perLimitSecond_(perLimitSecond) {}

void MachineWorker::Run() {
  while (!stop_) ProcessPendingRequest(std::chrono::hours(1));
}

bool MachineWorker::WaitForLateWork(std::chrono::milliseconds limit) const {
  return !last_ || last_->WaitForLateWork(limit);
}

void MachineWorker::Stop() {
  stop_ = true;
  state_.pendingMachineRequest.Wake();
}

bool MachineWorker::ProcessPendingRequest(std::chrono::milliseconds wait) {
  // Taken whole: a request made from now on waits for this one and then runs.
  Text request = state_.pendingMachineRequest.Take(wait);
  if (request.empty()) return false;

  state_.applicationTable.Clear();
  log_.LogActivity(u"D\u00e9marrage du traitement pour la machine " + request, ActivityLevel::None, 1);
  window_.ClearApplicationViews();

  const std::int32_t seconds = std::max<std::int32_t>(LeadingNumber(window_.TimeLimitText()), 0);
  RequestOptions options = options_;
  options.startRemoteRegistry = window_.StartRemoteRegistry();
  options.timeLimit = std::chrono::milliseconds(TimeLimitMilliseconds(seconds, perLimitSecond_));
  log_.LogActivity(DecimalText(seconds) + u" secondes de temp d'attente pour le traitement de la machine",
                   ActivityLevel::None, 1);

  const std::vector<Text> machines = RequestMachines(request, options_.platform.localComputerName);
  const bool list = machines.size() > 1;
  WorkerReport report(log_, state_.applicationTable, list);
  last_ = std::make_unique<MachineRequest>(machines, options);
  const std::vector<MachineResult> results = last_->Run(report);
  const auto count = [&](MachineOutcome outcome) {
    return static_cast<std::size_t>(std::ranges::count(results, outcome, &MachineResult::outcome));
  };
  const std::size_t listed = count(MachineOutcome::Listed);
  const std::size_t timedOut = count(MachineOutcome::TimedOut);
  const auto zeroLimitLine = [&] {
    if (timedOut > 0 && seconds == 0)
      log_.LogActivity(u"Le temps d'attente est de 0 seconde : aucune machine ne peut r\u00e9pondre \u00e0 temps.",
                       ActivityLevel::Error, 1);
  };

  if (timedOut == machines.size() && !list) {
    // The machine's own line has said it; nothing is stored.
    zeroLimitLine();
    window_.SetViewsBusy(false);
    return true;
  }
  // One machine that gave records enters the history; a list never does.
  if (!list && listed == 1 && !results.front().records.empty()) {
    SaveMachineHistory(machines.front());
    window_.ReloadMachineHistory();
  }
  window_.FillApplicationViews();
  const bool someInTime = timedOut < machines.size();
  if (machines.size() == 1 && machines.front() == u".") request = localHostName_();
  if (someInTime) state_.lastMachineName.Set(request);
  const bool allListed = listed == machines.size();
  log_.LogActivity(u"Traitement termin\u00e9 sur la machine " + request,
                   allListed ? ActivityLevel::Done : ActivityLevel::Error, 1);
  if (list && !allListed) {
    const std::size_t failed = machines.size() - listed;
    log_.LogActivity(DecimalText(static_cast<std::int64_t>(failed)) + (failed > 1 ? u" machines sur " : u" machine sur ") +
                         DecimalText(static_cast<std::int64_t>(machines.size())) + u" sans r\u00e9ponse",
                     ActivityLevel::Error, 1);
  }
  zeroLimitLine();
  if (someInTime) window_.SaveTimeLimitSetting();
  window_.ScheduleProgressReset();
  return true;
}

}  // namespace appcensus
