#include "request/machine_request.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "core/application_table.h"
#include "core/task_thread.h"
#include "inventory/machine_test.h"
#include "registry/registry_session.h"
#include "request/job_gate.h"

namespace appcensus {

namespace {

constexpr std::chrono::milliseconds kLongestWait{kLongestWaitMs};

Text Trimmed(TextView text) {
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  std::size_t first = 0, end = text.size();
  while (first < end && blank(text[first])) ++first;
  while (end > first && blank(text[end - 1])) --end;
  return Text(text.substr(first, end - first));
}

// The services started and not put back yet, for RestoreStartedServices.
struct StartedServices {
  std::mutex mutex;
  std::vector<std::weak_ptr<RemoteRegistryStart>> starts;
};
StartedServices& Started() {
  static StartedServices* const started = new StartedServices();  // never destroyed: late jobs use it
  return *started;
}

// The statuses of a first connection to the machine's registry, before its identity test.
void ProbeRegistry(TextView machine, MachineFailure& failure) {
  RegistrySession session(CurrentRegistryApi(), machine);
  RegistrySession::Key key = session.Open(kActiveComputerNameKeyPath);
  failure.connectStatus = session.ConnectStatus();
  failure.openStatus = session.OpenStatus();
}

}  // namespace

void RestoreStartedServices() {
  std::vector<std::weak_ptr<RemoteRegistryStart>> starts;
  {
    std::lock_guard lock(Started().mutex);
    starts.swap(Started().starts);
  }
  for (const auto& weak : starts)
    if (const auto start = weak.lock()) start->Restore();
}

std::int64_t TimeLimitMilliseconds(std::int32_t seconds, std::chrono::milliseconds perSecond) {
  const std::int64_t ms = static_cast<std::int64_t>(std::max<std::int32_t>(seconds, 0)) * perSecond.count();
  return std::min(ms, kLongestWaitMs);
}

std::vector<Text> RequestMachines(TextView request, TextView localComputerName) {
  std::vector<Text> machines;
  std::vector<Text> seen;  // upper-cased: a name is read once, whatever its letter case
  const Text local = UpperCase(localComputerName);
  for (std::size_t m = 0, count = CountFields(request, u';'); m < count; ++m) {
    Text name = MachineNameOf(Trimmed(NthField(request, u';', m)));
    // "." and the computer's name are one machine: both are seen once either is.
    const Text upper = !local.empty() && UpperCase(name) == local ? Text(u".") : UpperCase(name);
    if (name.empty() || std::ranges::find(seen, upper) != seen.end()) continue;
    seen.push_back(upper);
    machines.push_back(std::move(name));
  }
  if (machines.empty()) machines.push_back(u".");
  return machines;
}

// Hands on what the machines report in list order: the machine at the head of the list
// reports as it goes, the others into a buffer that is handed on when their turn comes.
// Whatever a machine reports after its result is dropped (a late identity test).
class MachineRequest::Ordering {
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

  void Log(std::size_t index, TextView text, ActivityLevel level, int statusField) {
    std::lock_guard lock(mutex_);
    if (report_ == nullptr || done_[index]) return;
    if (level == ActivityLevel::Error && firstErrors_[index].empty()) firstErrors_[index] = Text(text);
    if (index == head_)
      report_->Activity(machines_[index], text, level, statusField);
    else
      buffered_[index].push_back({Text(text), level, statusField});
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

  // Ends a machine: nothing it reports afterwards is handed on. Its result is handed on once
  // every machine before it has been.
  void Finish(std::size_t index, MachineResult result) {
    std::lock_guard lock(mutex_);
    done_[index] = true;
    results_[index] = std::move(result);
    while (head_ < machines_.size() && done_[head_]) {
      report_->MachineDone(results_[head_]);
      ++head_;
      if (head_ < machines_.size()) {
        for (const auto& line : buffered_[head_])
          report_->Activity(machines_[head_], line.text, line.level, line.statusField);
        buffered_[head_].clear();
      }
    }
  }

  std::vector<MachineResult> TakeResults() {
    std::lock_guard lock(mutex_);
    return std::move(results_);
  }

 private:
  struct Line {
    Text text;
    ActivityLevel level;
    int statusField;
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

// The log of one machine: its job and identity tests report through it.
class MachineRequest::MachineLog : public ActivityLog {
 public:
  MachineLog(std::shared_ptr<Ordering> ordering, std::size_t index) : ordering_(std::move(ordering)), index_(index) {}
  void LogActivity(TextView text, ActivityLevel level, int statusField) override {
    ordering_->Log(index_, text, level, statusField);
  }
  void SetStatusProgress(int value, int maximum) override { ordering_->Progress(index_, value, maximum); }

 private:
  std::shared_ptr<Ordering> ordering_;
  std::size_t index_;
};

// What one machine's job works on, kept alive by the job for as long as it runs.
struct MachineRequest::Slot {
  ApplicationTable table;
  UninstallEntryList entries;
  std::shared_ptr<ActivityLog> log;

  mutable std::mutex mutex;
  mutable std::condition_variable jobEnded;
  bool ended = false;
  bool abandoned = false;
  MachineVerdict verdict = MachineVerdict::Unreachable;  // the job's, once it has ended
  MachineFailure failure;  // what the job saw of the machine so far
  bool tested = false;     // the identity test ran (the reachability check let it)
  bool closed = false;     // the request is done with the machine: no service is started any more
  std::vector<TaskThread> identityTests;
  std::unique_ptr<ServiceControl> control;  // goes after the start that uses it
  std::shared_ptr<RemoteRegistryStart> serviceStart;
};

namespace {

// The job of one machine: the reachability check (for a remote machine, when the platform has
// a probe) and the registry's first answer, the Remote Registry service started when asked
// and needed, then the inventory. What it sees is kept in the slot as it goes.
void RunMachineJob(const std::shared_ptr<MachineRequest::Slot>& slot, InventoryContext& context, const Text& machine,
                   const RequestOptions& options) {
  const RequestPlatform& platform = options.platform;
  if (platform.probe && NeedsReachabilityCheck(machine, platform.localComputerName)) {
    MachineFailure failure;
    failure.reachability = CheckReachability(*platform.probe, machine, platform.port);
    if (failure.reachability == Reachability::Answered) ProbeRegistry(machine, failure);
    {
      std::lock_guard lock(slot->mutex);
      slot->failure = failure;
    }
    if (failure.reachability != Reachability::Answered) return;  // no identity test: the cause is known
    if (options.startRemoteRegistry && platform.serviceControl &&
        ChooseMachineCause(failure) == MachineCause::NoRemoteRegistry) {
      std::shared_ptr<RemoteRegistryStart> start;
      {
        std::lock_guard lock(slot->mutex);
        if (slot->closed) return;
        slot->control = platform.serviceControl();
        if (slot->control) {
          slot->serviceStart =
              std::make_shared<RemoteRegistryStart>(*slot->control, *slot->log, machine, platform.serviceClock);
          start = slot->serviceStart;
          std::lock_guard started(Started().mutex);
          Started().starts.push_back(start);
        }
      }
      if (start && start->Start()) {
        failure.connectStatus = failure.openStatus = 0;
        ProbeRegistry(machine, failure);
        std::lock_guard lock(slot->mutex);
        slot->failure = failure;
      }
    }
  }
  const InventoryResult inventory = RunInventory(context, machine);
  std::lock_guard lock(slot->mutex);
  slot->tested = true;
  if (!inventory.verdicts.empty()) slot->verdict = inventory.verdicts.front();
}

}  // namespace

MachineRequest::MachineRequest(std::vector<Text> machines, RequestOptions options)
    : machines_(std::move(machines)), options_(options), ordering_(std::make_shared<Ordering>(machines_)) {
  for (std::size_t i = 0; i < machines_.size(); ++i) {
    auto slot = std::make_shared<Slot>();
    slot->log = std::make_shared<MachineLog>(ordering_, i);
    slots_.push_back(std::move(slot));
  }
}

MachineRequest::~MachineRequest() = default;

MachineResult MachineRequest::RunOne(std::size_t index, std::size_t readers) {
  const std::shared_ptr<Slot> slot = slots_[index];
  const auto gate = std::make_shared<JobGate>();
  InventoryContext context{&slot->table, &slot->entries, slot->log, gate, options_.inventory, nullptr};
  context.options.readers = readers;
  context.identityTestStarted = [slot](const TaskThread& test) {
    std::lock_guard lock(slot->mutex);
    slot->identityTests.push_back(test);
  };

  MachineResult result;
  result.machine = machines_[index];
  const auto start = std::chrono::steady_clock::now();
  TaskThread job;
  // The job owns a share of everything it uses, so it may outlive this request.
  const bool started = job.Start([slot, context, machine = result.machine, options = options_]() mutable {
    RunMachineJob(slot, context, machine, options);
    std::lock_guard lock(slot->mutex);
    slot->ended = true;
    slot->jobEnded.notify_all();
  });
  bool ended = !started || job.WaitFor(options_.timeLimit);
  // A job that committed before the abandon has won: its last writes are under way.
  if (!ended && !gate->Abandon()) ended = job.WaitFor(kLongestWait);
  gate->Close();  // an identity test of the job that is still running may write no more
  result.duration = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);

  // A service started for the read is put back now, whatever became of the read.
  std::shared_ptr<RemoteRegistryStart> serviceStart;
  MachineFailure failure;
  bool tested = false;
  {
    std::lock_guard lock(slot->mutex);
    slot->closed = true;
    slot->abandoned = !ended;
    serviceStart = slot->serviceStart;
    failure = slot->failure;
    tested = slot->tested;
    failure.verdict = tested ? slot->verdict : MachineVerdict::Unreachable;
  }
  if (serviceStart) result.remoteRegistry = serviceStart->Restore();

  if (!ended) {
    result.outcome = MachineOutcome::TimedOut;
    // Through the ordering directly: the job's gate is closed.
    ordering_->Log(index, u"Impossible de r\u00e9cuperer les informations de la machine.", ActivityLevel::Error, 1);
  } else {
    result.records = slot->table.Snapshot();
    result.outcome = failure.verdict == MachineVerdict::Passed       ? MachineOutcome::Listed
                     : failure.verdict == MachineVerdict::OtherMachine ? MachineOutcome::OtherMachine
                                                                       : MachineOutcome::Unreachable;
    if (started && !tested)  // the reachability check stopped it before its identity test
      ordering_->Log(index, u"Impossible de contacter la machine " + result.machine + u".", ActivityLevel::Error, 1);
  }
  if (result.outcome != MachineOutcome::Listed) {
    failure.timedOut = !ended;
    result.cause = ChooseMachineCause(failure);
    const MachineCauseText cause = DescribeMachineCause(result.cause);
    // A time-out has said it already; every other cause says what to do.
    if (cause.message && result.cause != MachineCause::TimeOut) ordering_->Log(index, cause.message, ActivityLevel::Error, 1);
  }
  if (result.outcome != MachineOutcome::Listed) {
    const bool known = result.cause != MachineCause::Unreachable && result.cause != MachineCause::OtherMachine &&
                       result.cause != MachineCause::TimeOut;
    result.message = known ? Text(DescribeMachineCause(result.cause).message) : ordering_->FirstError(index);
  }
  return result;
}

std::vector<MachineResult> MachineRequest::Run(MachineReport& report) {
  ordering_->Start(&report);
  const std::size_t count = machines_.size();
  const std::size_t atOnce = std::clamp<std::size_t>(options_.machinesAtOnce, 1, std::min(kMostMachinesAtOnce, std::max<std::size_t>(count, 1)));
  const std::size_t readers = std::clamp<std::size_t>(kMostReaders / atOnce, 1, std::max<std::size_t>(options_.inventory.readers, 1));
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < count; i = next++) ordering_->Finish(i, RunOne(i, readers));
  };
  std::vector<TaskThread> helpers;
  for (std::size_t k = 1; k < atOnce; ++k) {
    TaskThread helper;
    if (!helper.Start(work)) break;  // fewer at once; the calling thread still works through the list
    helpers.push_back(helper);
  }
  work();
  // The helpers use this frame: each is waited for, however long its last machine takes.
  for (const TaskThread& helper : helpers)
    while (!helper.WaitFor(kLongestWait)) {
    }
  return ordering_->TakeResults();
}

bool MachineRequest::WaitForLateWork(std::chrono::milliseconds limit) const {
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

}  // namespace appcensus
