#include "cli/machine_runs.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/shared_state.h"
#include "inventory/inventory_passes.h"
#include "registry/registry_layer.h"
#include "request/machine_worker.h"

namespace appcensus::cli {

// Hands on what the machines report in list order: the machine at the head of the list
// reports as it goes, the others into a buffer that is handed on when their turn comes.
// Whatever a machine reports after its result is dropped (a late identity test).
class MachineRuns::Ordering {
 public:
  explicit Ordering(const std::vector<Text>& machines)
      : machines_(machines),
        buffered_(machines.size()),
        results_(machines.size()),
        done_(machines.size(), false),
        firstErrors_(machines.size()) {}

  void Start(MachineReport* report) {
    std::lock_guard lock(mutex_);
    report_ = report;
  }

  void Log(std::size_t index, TextView text, ActivityLevel level) {
    std::lock_guard lock(mutex_);
    if (report_ == nullptr || done_[index]) return;
    if (level == ActivityLevel::Error && firstErrors_[index].empty()) firstErrors_[index] = Text(text);
    if (index == head_)
      report_->Activity(machines_[index], text, level);
    else
      buffered_[index].push_back({Text(text), level});
  }

  void Progress(std::size_t index, int value, int maximum) {
    std::lock_guard lock(mutex_);
    if (report_ != nullptr && !done_[index] && index == head_) report_->Progress(machines_[index], value, maximum);
  }

  // The first error message of a machine so far.
  Text FirstError(std::size_t index) const {
    std::lock_guard lock(mutex_);
    return firstErrors_[index];
  }

  void Finish(std::size_t index, MachineResult result) {
    std::lock_guard lock(mutex_);
    done_[index] = true;
    results_[index] = std::move(result);
    while (head_ < machines_.size() && done_[head_]) {
      report_->MachineDone(results_[head_]);
      results_[head_] = MachineResult{};
      ++head_;
      if (head_ < machines_.size()) {
        for (const auto& line : buffered_[head_]) report_->Activity(machines_[head_], line.text, line.level);
        buffered_[head_].clear();
      }
    }
  }

 private:
  struct Line {
    Text text;
    ActivityLevel level;
  };
  mutable std::mutex mutex_;
  const std::vector<Text> machines_;
  MachineReport* report_ = nullptr;
  std::size_t head_ = 0;
  std::vector<std::vector<Line>> buffered_;
  std::vector<MachineResult> results_;
  std::vector<bool> done_;
  std::vector<Text> firstErrors_;
};

// The log of one machine: its worker, job and identity tests report through it.
class MachineRuns::MachineLog : public ActivityLog {
 public:
  MachineLog(std::shared_ptr<Ordering> ordering, std::size_t index) : ordering_(std::move(ordering)), index_(index) {}
  void LogActivity(TextView text, ActivityLevel level, int) override { ordering_->Log(index_, text, level); }
  void SetStatusProgress(int value, int maximum) override { ordering_->Progress(index_, value, maximum); }

 private:
  std::shared_ptr<Ordering> ordering_;
  std::size_t index_;
};

namespace {

// What the worker needs of a window: the time limit, and whether it filled the views (it
// does exactly when the job ended within the limit). The console shows no views and keeps
// the stored time limit as it is.
class ConsoleWorkerWindow : public WorkerWindow {
 public:
  explicit ConsoleWorkerWindow(Text timeLimit) : timeLimit_(std::move(timeLimit)) {}
  void ClearApplicationViews() override {}
  void FillApplicationViews() override { filled_ = true; }
  void SetViewsBusy(int) override {}
  Text TimeLimitText() override { return timeLimit_; }
  void SaveTimeLimitSetting() override {}
  bool Filled() const { return filled_; }

 private:
  Text timeLimit_;
  bool filled_ = false;
};

}  // namespace

// One machine's shared state and log, kept alive by its job for as long as the job runs.
struct MachineRuns::Slot {
  SharedState state;
  std::shared_ptr<ActivityLog> log;

  mutable std::mutex mutex;
  mutable std::condition_variable jobEnded;
  bool ended = false;
  bool abandoned = false;
  MachineVerdict verdict = MachineVerdict::Unreachable;  // until its identity test says otherwise
  MachineOutcome outcome = MachineOutcome::Listed;
  std::vector<TaskThread> identityTests;
};

MachineRuns::MachineRuns(std::vector<Text> machines, RunSettings settings)
    : machines_(std::move(machines)),
      settings_(std::move(settings)),
      ordering_(std::make_shared<Ordering>(machines_)) {
  for (std::size_t i = 0; i < machines_.size(); ++i) {
    auto slot = std::make_shared<Slot>();
    slot->log = std::make_shared<MachineLog>(ordering_, i);
    slots_.push_back(std::move(slot));
  }
}

MachineRuns::~MachineRuns() = default;

void MachineRuns::RunOne(std::size_t index, std::size_t readers) {
  const std::shared_ptr<Slot> slot = slots_[index];
  InventoryContext context;
  context.state = &slot->state;
  context.log = slot->log;
  context.identityWait = settings_.identityWait;
  context.allLocations = settings_.allLocations;
  context.readExtras = settings_.readExtras;
  context.readers = readers;
  context.identityTestStarted = [slot](const TaskThread& test) {
    std::lock_guard lock(slot->mutex);
    slot->identityTests.push_back(test);
  };
  context.machineTested = [slot](TextView, MachineVerdict verdict) {
    std::lock_guard lock(slot->mutex);
    slot->verdict = verdict;
  };
  // As the window's job for one machine, without the machine history.
  MachineJobBody job = [slot, context](const Text& request, const std::shared_ptr<JobGate>& gate) mutable {
    context.gate = gate;
    RunInventory(context, request);
    std::lock_guard lock(slot->mutex);
    slot->ended = true;
    slot->jobEnded.notify_all();
  };

  WorkerTiming timing;
  timing.poll = std::chrono::milliseconds(0);
  timing.progressResetPause = std::chrono::milliseconds(0);
  timing.perLimitSecond = settings_.perLimitSecond;
  std::function<Text()> hostName = settings_.localHostName;
  if (!hostName) hostName = [] { return LocalComputerName(); };

  ConsoleWorkerWindow window(settings_.timeLimitText);
  slot->state.pendingMachineRequest.Set(machines_[index]);
  MachineWorker worker(slot->state, *slot->log, window, std::move(job), std::move(hostName), timing);
  const auto start = std::chrono::steady_clock::now();
  worker.ProcessPendingRequest();

  MachineResult result;
  result.machine = machines_[index];
  result.duration = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  if (window.Filled()) result.records = slot->state.applicationTable.Snapshot();  // the job has ended
  {
    std::lock_guard lock(slot->mutex);
    result.outcome = !window.Filled()                              ? MachineOutcome::TimedOut
                     : slot->verdict == MachineVerdict::Passed       ? MachineOutcome::Listed
                     : slot->verdict == MachineVerdict::OtherMachine ? MachineOutcome::OtherMachine
                                                                     : MachineOutcome::Unreachable;
    slot->abandoned = result.outcome == MachineOutcome::TimedOut;
    slot->outcome = result.outcome;
  }
  if (result.outcome != MachineOutcome::Listed) result.message = ordering_->FirstError(index);
  ordering_->Finish(index, std::move(result));
}

std::vector<MachineOutcome> MachineRuns::Run(MachineReport& report) {
  ordering_->Start(&report);
  const std::size_t count = machines_.size();
  const auto asked = static_cast<std::size_t>(std::max(settings_.parallel, 1));
  const std::size_t atOnce = std::min({asked, kMostMachinesAtOnce, count});
  const std::size_t readers = std::clamp<std::size_t>(kMostReaders / std::max<std::size_t>(atOnce, 1), 1, kParallelReaders);
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < count; i = next++) RunOne(i, readers);
  };
  std::vector<std::thread> threads;
  for (std::size_t k = 1; k < atOnce; ++k) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer at once; the calling thread still works through the list
    }
  }
  work();
  for (auto& thread : threads) thread.join();

  std::vector<MachineOutcome> outcomes;
  for (const auto& slot : slots_) {
    std::lock_guard lock(slot->mutex);
    outcomes.push_back(slot->outcome);
  }
  return outcomes;
}

bool MachineRuns::WaitForLateWork(std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool allEnded = true;
  for (const auto& slot : slots_) {
    std::unique_lock lock(slot->mutex);
    // A job that ended within its limit has started all its tests; an abandoned one may
    // still be starting them.
    if (slot->abandoned && !slot->jobEnded.wait_until(lock, deadline, [&] { return slot->ended; })) allEnded = false;
    const std::vector<TaskThread> tests = slot->identityTests;
    lock.unlock();
    for (const auto& test : tests) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (!test.WaitFor(std::max(left, std::chrono::milliseconds(0)))) allEnded = false;
    }
  }
  return allEnded;
}

}  // namespace appcensus::cli
