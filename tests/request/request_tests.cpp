// The job's gate, the machine worker (request hand-over, time limit, late jobs), the machine
// job (when the history is stored), and a thousand randomised requests under random limits.
#include <gtest/gtest.h>

#include <future>
#include <random>

#include "request/machine_job.h"
#include "request/machine_worker.h"
#include "settings/stored_settings.h"
#include "tests/support/memory_registry.h"
#include "tests/support/recording_activity_log.h"
#include "tests/support/thread_signals.h"

namespace appcensus {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<Text>;
using Job = std::function<void(const Text&, const std::shared_ptr<JobGate>&)>;

const Text kStart = u"D\u00e9marrage du traitement pour la machine ";
const Text kWait = u" secondes de temp d'attente pour le traitement de la machine";
const Text kDone = u"Traitement termin\u00e9 sur la machine ";
const Text kFailed = u"Impossible de r\u00e9cuperer les informations de la machine.";

// That the gate refuses every later write, the thousand requests below show.
TEST(JobGateTest, AbandonWaitsForAWriteUnderWay) {
  JobGate gate;
  testing::Latch inside, release;
  auto writing = std::async(std::launch::async, [&] {
    return gate.Run([&] {
      inside.Open();
      release.Wait();
    });
  });
  inside.Wait();
  auto abandoning = std::async(std::launch::async, [&] { gate.Abandon(); });
  EXPECT_EQ(abandoning.wait_for(20ms), std::future_status::timeout);  // still inside the write
  release.Open();
  EXPECT_TRUE(writing.get());
  abandoning.get();
}

// Notes what the worker asks of the window among the log lines.
class MachineWorkerTest : public ::testing::Test, public WorkerWindow {
 protected:
  void ClearApplicationViews() override { Note(u"<clear>"); }
  void FillApplicationViews() override { Note(u"<fill>"); }
  void SetViewsBusy(int busy) override { Note(u"<busy " + DecimalText(busy) + u">"); }
  Text TimeLimitText() override { return timeLimit_; }
  void SaveTimeLimitSetting() override { Note(u"<save limit>"); }
  void Note(TextView what) { log_.LogActivity(what, ActivityLevel::None, -1); }

  // The worker's passes over the request slot holding `request`, until it is empty.
  void Process(TextView request, Job job, std::chrono::milliseconds perLimitSecond = 1s) {
    MachineWorker worker(state_, log_, *this, std::move(job), [] { return Text(u"HOSTNAME"); }, {0ms, 0ms, perLimitSecond});
    state_.pendingMachineRequest.Set(request);
    ASSERT_TRUE(worker.ProcessPendingRequest());
    while (worker.ProcessPendingRequest()) {
    }
  }

  SharedState state_;
  RecordingActivityLog log_;
  Text timeLimit_ = u"$F";
};

TEST_F(MachineWorkerTest, AJobStartsCleanItsResultIsShownUnderTheHostNameAndARequestMadeMeanwhileRunsNext) {
  state_.applicationTable.Store(ApplicationRecord{u"Stale", {}, {}, {}, {}, {}, {}, u"M", u"K"});
  state_.uninstallEntryList.Append(UninstallEntry{u"K", u"M"});
  std::vector<Text> requests;
  std::size_t leftBefore = 99;
  std::shared_ptr<JobGate> jobGate;
  Process(u".", [&](const Text& text, const std::shared_ptr<JobGate>& gate) {
    requests.push_back(text);
    if (requests.size() > 1) return;
    jobGate = gate;
    leftBefore = state_.applicationTable.Count() + state_.uninstallEntryList.Count();
    gate->Run([&] { state_.applicationTable.Store(ApplicationRecord{}); });
    state_.pendingMachineRequest.Set(u"SECOND");  // two requests made meanwhile: the later counts
    state_.pendingMachineRequest.Set(u".");       // the same machine again runs again
  });
  EXPECT_EQ(requests, (std::vector<Text>{u".", u"."}));
  EXPECT_EQ(leftBefore, 0u);
  const Lines run = {kStart + u".", u"<clear>", u"15" + kWait, u"<fill>", kDone + u"HOSTNAME", u"<save limit>"};
  Lines twice = run;
  twice.insert(twice.end(), run.begin(), run.end());
  EXPECT_EQ(log_.Lines(), twice);
  const auto calls = log_.Calls();
  EXPECT_EQ(calls[0].statusField, 1);
  EXPECT_EQ(calls[4].level, ActivityLevel::Done);
  EXPECT_TRUE(calls.back().isProgress && calls.back().value == 0 && calls.back().maximum == 100);
  EXPECT_EQ(state_.lastMachineName.Get(), u"HOSTNAME");
  EXPECT_FALSE(jobGate->Run([] {}));  // what of the job still runs (an identity test) writes nothing
}

// The job's last write (its commit) and the abandon at the time limit: whichever comes first
// wins, so a request is never reported over its limit after its history was saved, and a job
// abandoned before its commit writes nothing more.
TEST_F(MachineWorkerTest, AJobThatCommittedInTimeEndsInTimeAndOneThatDidNotWritesNothingMore) {
  const std::tuple<const char16_t*, std::chrono::milliseconds, std::chrono::milliseconds, Lines> cases[] = {
      {u"1", 50ms, 400ms, {u"1" + kWait, u"<commit>", u"<history>", u"<fill>", kDone + u"SRV", u"<save limit>"}},
      {u" -3", 400ms, 0ms, {u"0" + kWait, kFailed, u"<busy 0>"}}};  // a negative limit counts as 0
  for (const auto& [limit, beforeCommit, afterCommit, lines] : cases) {
    log_.Clear();
    state_.lastMachineName.Set(u"");
    timeLimit_ = limit;
    auto ended = std::make_shared<testing::Latch>();
    Process(u"SRV", [=, this](const Text&, const std::shared_ptr<JobGate>& gate) {
      std::this_thread::sleep_for(beforeCommit);
      if (gate->Commit([&] { Note(u"<commit>"); })) {
        std::this_thread::sleep_for(afterCommit);
        gate->Run([&] { Note(u"<history>"); });
      }
      ended->Open();
    }, 200ms);
    ended->Wait();
    Lines expected = {kStart + u"SRV", u"<clear>"};
    expected.insert(expected.end(), lines.begin(), lines.end());
    EXPECT_EQ(log_.Lines(), expected);
    EXPECT_EQ(state_.lastMachineName.Get(), lines.size() > 3 ? u"SRV" : u"");
    EXPECT_EQ(log_.Calls()[3].level, lines.size() > 3 ? ActivityLevel::None : ActivityLevel::Error);
  }
}

TEST(TimeLimitTest, SecondsTimesTheSecondCappedAtTheLongestFiniteWait) {
  const std::tuple<std::int32_t, std::chrono::milliseconds, std::int64_t> cases[] = {
      {15, 1s, 15000}, {-3, 1s, 0}, {7, 12ms, 84}, {4294967, 1s, 4294967000}, {4294968, 1s, kLongestWaitMs}};
  for (const auto& [seconds, perSecond, ms] : cases) EXPECT_EQ(TimeLimitMilliseconds(seconds, perSecond), ms) << seconds;
}

// Closes as soon as the job has stored a record, as if the limit passed at that moment.
class GateClosingAfterARecord : public JobGate {
 public:
  explicit GateClosingAfterARecord(const SharedState& state) : state_(state) {}
  bool Run(const std::function<void()>& write) override {
    if (state_.applicationTable.Count() > 0) Abandon();
    return JobGate::Run(write);
  }

 private:
  const SharedState& state_;
};

TEST(MachineJobTest, OnlyOneNamedMachineThatGaveRecordsInTimeEntersTheHistory) {
  const std::tuple<const char16_t*, bool, const char16_t*, int> cases[] = {
      {u"srv2", true, u"", 0},       {u"SRV2;.", false, u"", 0},   {u".", false, u"", 1},
      {u"NOBODY", false, u"", 0},    {u"NAMELESS", false, u"", 0}, {u"srv2", false, u"srv2", 1}};
  MemoryRegistry registry;
  ScopedRegistryApi scope(registry);
  const Text entry = Text(kUninstallKeyPath) + u"\\App";
  registry.Local().SetString(entry, u"DisplayName", u"Local");
  registry.AddMachine(u"SRV2").SetString(entry, u"DisplayName", u"Remote");
  registry.AddMachine(u"NAMELESS").CreateKey(entry);  // listed, but no record
  for (const auto& [request, closesAfterARecord, history, reloads] : cases) {
    SharedState state;
    RecordingActivityLog log;
    int reloaded = 0;
    const auto gate = closesAfterARecord ? std::make_shared<GateClosingAfterARecord>(state) : std::make_shared<JobGate>();
    RunMachineJob(request, gate, MachineJobServices{&state, &log, [&] { ++reloaded; }, 3s, nullptr});
    EXPECT_EQ(ReadRegistryValue(kSettingsKeyPath, kHistoryValue, u"."), history) << TextToUtf8(request);
    EXPECT_EQ(reloaded, reloads) << TextToUtf8(request);
  }
}

// Whether a log line names the machine: after a blank, and not as the start of a longer name.
bool Mentions(const Text& line, const Text& machine) {
  for (std::size_t at = line.find(u" " + machine); at != Text::npos; at = line.find(u" " + machine, at + 1))
    if (at + 1 + machine.size() == line.size() || !std::isalnum(line[at + 1 + machine.size()] & 0x7F)) return true;
  return false;
}

// Against fast, slow, unreachable, failing and impostor machines: every request starts clean,
// and once the worker has closed a request (its "done" or "failed" line) nothing names its
// machines any more.
TEST_F(MachineWorkerTest, AThousandRequestsNeverWriteAfterTheirClosingLine) {
  constexpr int kRequests = 1000;
  auto registry = std::make_shared<MemoryRegistry>();  // outlives the late jobs
  ScopedRegistryApi scope(*registry);
  auto ended = std::make_shared<testing::EventCounter>();
  const MachineJobServices services{&state_, &log_, nullptr, 40ms, nullptr};
  const Job job = [services, ended, registry](const Text& request, const std::shared_ptr<JobGate>& gate) {
    RunMachineJob(request, gate, services);
    ended->Add();
  };
  std::mt19937 random(20261206);
  const char16_t* limits[] = {u"0", u"1", u"2", u"3", u"5", u"$2", u"abc"};
  std::vector<std::pair<Text, Lines>> requests;  // request text, machine names
  int abandoned = 0, withRecords = 0;
  for (int i = 0; i < kRequests; ++i) {
    auto& [request, machines] = requests.emplace_back();
    for (int m = 0, count = 1 + static_cast<int>(random() % 3); m < count; ++m) {
      const Text name = u"M" + DecimalText(i) + u"X" + DecimalText(m);
      const int kind = static_cast<int>(random() % 5);
      MemoryMachine& machine = registry->AddMachine(kind == 4 ? u"OTHER" + name : name);
      if (kind == 4) machine.AddAlias(name);  // answers, but under another name
      for (const char16_t* key : {u"E0", u"E1", u"E2"})
        machine.SetString(Text(kUninstallKeyPath) + u"\\" + name + key, u"DisplayName", u"App");
      machine.SetFaults({.unreachable = kind == 2,
                         .roundTrip = std::chrono::milliseconds(kind == 1 ? 1 + random() % 3 : 0),
                         .loseConnectionAfterCalls = kind == 3 ? static_cast<int>(5 + random() % 60) : -1});
      machines.push_back(name);
      request += (m ? u";" : u"") + name;
    }
    timeLimit_ = limits[random() % std::size(limits)];
    Process(request, job, 12ms);
    // Whatever the table and the list hold now belongs to this request.
    const auto ours = [&](const Text& machine) { return std::count(machines.begin(), machines.end(), machine) == 1; };
    for (const auto& record : state_.applicationTable.Snapshot()) ASSERT_TRUE(ours(record.Machine)) << i;
    for (const auto& entry : state_.uninstallEntryList.Snapshot()) ASSERT_TRUE(ours(entry.Machine)) << i;
    abandoned += state_.lastMachineName.Get() != request;  // named only when its job ended in time
    withRecords += !state_.applicationTable.Snapshot().empty();
  }
  ended->WaitFor(kRequests);  // every job, abandoned or not, has run to its end

  const auto lines = log_.Lines();
  std::size_t closing = 0;
  for (const auto& [request, machines] : requests) {
    while (closing < lines.size() && lines[closing] != kStart + request) ++closing;
    while (closing < lines.size() && lines[closing] != kFailed && lines[closing] != kDone + request) ++closing;
    ASSERT_LT(closing, lines.size()) << TextToUtf8(request) << " never closed";
    for (std::size_t later = closing + 1; later < lines.size(); ++later)
      for (const auto& machine : machines)
        ASSERT_FALSE(Mentions(lines[later], machine)) << TextToUtf8(request) << ": " << TextToUtf8(lines[later]);
  }
  // The mix really exercised both outcomes.
  EXPECT_GT(abandoned, kRequests / 10);
  EXPECT_LT(abandoned, kRequests);
  EXPECT_GT(withRecords, kRequests / 10);
}

}  // namespace
}  // namespace appcensus
