// The machine worker: request hand-over, time limit, abandonment of late jobs.
#include <gtest/gtest.h>

#include <functional>

#include "request/machine_worker.h"
#include "tests/support/thread_signals.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus {
namespace {

using testing::Latch;

// Records what the worker asks of the window, interleaved with the log lines.
class FakeWindow : public WorkerWindow {
 public:
  explicit FakeWindow(RecordingActivityLog& log) : log_(log) {}
  void ClearApplicationViews() override { log_.LogActivity(u"<clear>", ActivityLevel::None, -1); }
  void FillApplicationViews() override { log_.LogActivity(u"<fill>", ActivityLevel::None, -1); }
  void SetViewsBusy(int busy) override { log_.LogActivity(u"<busy " + DecimalText(busy) + u">", ActivityLevel::None, -1); }
  Text TimeLimitText() override {
    if (beforeLimitRead) beforeLimitRead();
    return timeLimit;
  }
  void SaveTimeLimitSetting() override { log_.LogActivity(u"<save limit>", ActivityLevel::None, -1); }
  Text timeLimit = u"15";
  std::function<void()> beforeLimitRead;  // runs once the job has started

 private:
  RecordingActivityLog& log_;
};

constexpr char16_t kStart[] = u"D\u00e9marrage du traitement pour la machine ";
constexpr char16_t kWait[] = u" secondes de temp d'attente pour le traitement de la machine";
constexpr char16_t kDone[] = u"Traitement termin\u00e9 sur la machine ";
constexpr char16_t kFailed[] = u"Impossible de r\u00e9cuperer les informations de la machine.";

class MachineWorkerTest : public ::testing::Test {
 protected:
  MachineWorker MakeWorker(MachineJobBody body) {
    WorkerTiming timing;
    timing.poll = std::chrono::milliseconds(1);
    timing.progressResetPause = std::chrono::milliseconds(1);
    timing.perLimitSecond = std::chrono::milliseconds(1000);
    return MachineWorker(state_, log_, window_, std::move(body), [] { return Text(u"HOSTNAME"); }, timing);
  }
  static ApplicationRecord Record(TextView key) {
    ApplicationRecord r;
    r.DisplayName = u"App";
    r.Machine = u"M";
    r.KeyName = Text(key);
    return r;
  }

  SharedState state_;
  RecordingActivityLog log_;
  FakeWindow window_{log_};
};

TEST_F(MachineWorkerTest, ASuccessfulRequestIsShownRememberedAndEmptied) {
  std::vector<Text> requests;
  auto worker = MakeWorker([&](const Text& request, const std::shared_ptr<JobGate>& gate) {
    requests.push_back(request);
    gate->Run([&] { state_.applicationTable.Store(Record(u"{A}")); });
  });
  state_.applicationTable.Store(Record(u"stale"));
  state_.uninstallEntryList.Append(UninstallEntry{u"stale", u"M"});
  state_.pendingMachineRequest.Set(u"SRV2");
  EXPECT_TRUE(worker.ProcessPendingRequest());

  EXPECT_EQ(requests, std::vector<Text>{u"SRV2"});
  EXPECT_EQ(log_.Lines(), (std::vector<Text>{Text(kStart) + u"SRV2", u"<clear>", Text(u"15") + kWait, u"<fill>",
                                             Text(kDone) + u"SRV2", u"<save limit>"}));
  const auto calls = log_.Calls();
  EXPECT_EQ(calls[0].statusField, 1);
  EXPECT_EQ(calls[4].level, ActivityLevel::Done);
  ASSERT_TRUE(calls.back().isProgress);
  EXPECT_EQ(calls.back().value, 0);
  EXPECT_EQ(calls.back().maximum, 100);
  EXPECT_EQ(state_.applicationTable.Count(), 1u);  // the stale record was emptied first
  EXPECT_EQ(state_.uninstallEntryList.Count(), 0u);
  EXPECT_EQ(state_.lastMachineName.Get(), u"SRV2");
  EXPECT_EQ(state_.pendingMachineRequest.Get(), u"");
  EXPECT_FALSE(worker.ProcessPendingRequest());
  EXPECT_EQ(log_.Lines().size(), 6u);
}

TEST_F(MachineWorkerTest, TheLocalMachineIsNamedByTheHostName) {
  auto worker = MakeWorker([](const Text&, const std::shared_ptr<JobGate>&) {});
  state_.pendingMachineRequest.Set(u".");
  worker.ProcessPendingRequest();
  EXPECT_EQ(state_.lastMachineName.Get(), u"HOSTNAME");
  EXPECT_EQ(log_.Lines()[4], Text(kDone) + u"HOSTNAME");
}

TEST_F(MachineWorkerTest, OnlyTheLastOfTwoQuickRequestsIsProcessedAndLongTextsArriveWhole) {
  std::vector<Text> requests;
  auto worker = MakeWorker([&](const Text& request, const std::shared_ptr<JobGate>&) { requests.push_back(request); });
  const Text longList = [] {
    Text t;
    for (int i = 0; i < 40; ++i) t += u"MACHINE" + DecimalText(i) + u";";
    return t + u".";
  }();
  ASSERT_GT(longList.size(), 126u);
  state_.pendingMachineRequest.Set(u"FIRST");
  state_.pendingMachineRequest.Set(longList);
  worker.ProcessPendingRequest();
  EXPECT_EQ(requests, std::vector<Text>{longList});
}

TEST_F(MachineWorkerTest, ARequestMadeDuringAnotherIsLost) {
  int runs = 0;
  auto worker = MakeWorker([&](const Text&, const std::shared_ptr<JobGate>&) {
    ++runs;
    state_.pendingMachineRequest.Set(u"SECOND");  // the user clicks again meanwhile
  });
  state_.pendingMachineRequest.Set(u"FIRST");
  worker.ProcessPendingRequest();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(state_.pendingMachineRequest.Get(), u"");
}

TEST_F(MachineWorkerTest, ALateJobIsAbandonedAndWritesNothingAfterTheLimit) {
  auto stored = std::make_shared<Latch>();
  auto release = std::make_shared<Latch>();
  auto finished = std::make_shared<Latch>();
  auto wrote = std::make_shared<std::atomic<int>>(0);
  auto worker = MakeWorker([this, stored, release, finished, wrote](const Text&, const std::shared_ptr<JobGate>& gate) {
    gate->Run([&] { state_.applicationTable.Store(Record(u"before")); });
    stored->Open();
    release->Wait();
    if (gate->Run([&] { state_.applicationTable.Store(Record(u"after")); })) ++*wrote;
    GatedActivityLog(log_, gate).LogActivity(u"late line", ActivityLevel::Error, 1);
    finished->Open();
  });
  window_.timeLimit = u"0";
  window_.beforeLimitRead = [stored] { stored->Wait(); };
  state_.pendingMachineRequest.Set(u"SLOW");
  worker.ProcessPendingRequest();
  window_.beforeLimitRead = nullptr;
  const auto lines = log_.Lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], Text(u"0") + kWait);
  EXPECT_EQ(lines[3], kFailed);
  EXPECT_EQ(log_.Calls()[3].level, ActivityLevel::Error);
  EXPECT_EQ(lines[4], u"<busy 0>");
  EXPECT_EQ(state_.lastMachineName.Get(), u"");

  release->Open();
  finished->Wait();
  EXPECT_EQ(*wrote, 0);
  EXPECT_EQ(log_.Lines().size(), 5u);
  // Whatever the job stored before the limit stays; nothing after it.
  const auto records = state_.applicationTable.Snapshot();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].KeyName, u"before");

  // The next request starts clean and runs.
  auto next = MakeWorker([](const Text&, const std::shared_ptr<JobGate>&) {});
  window_.timeLimit = u"15";
  state_.pendingMachineRequest.Set(u"NEXT");
  next.ProcessPendingRequest();
  EXPECT_EQ(state_.applicationTable.Count(), 0u);
  EXPECT_EQ(state_.lastMachineName.Get(), u"NEXT");
}

TEST_F(MachineWorkerTest, TheLimitIsTheLeadingNumberOfTheField) {
  struct Case {
    const char16_t* field;
    const char16_t* logged;
  } cases[] = {{u"15", u"15"}, {u"0", u"0"}, {u"abc", u"0"}, {u"$1F", u"31"}, {u"%101", u"5"}, {u" -3", u"0"}};
  for (const auto& c : cases) {
    log_.Clear();
    auto worker = MakeWorker([](const Text&, const std::shared_ptr<JobGate>&) {});
    window_.timeLimit = c.field;
    state_.pendingMachineRequest.Set(u"M");
    worker.ProcessPendingRequest();
    EXPECT_EQ(log_.Lines()[2], Text(c.logged) + kWait);
  }
  const std::chrono::milliseconds second(1000);
  EXPECT_EQ(TimeLimitMilliseconds(15, second), 15000);
  EXPECT_EQ(TimeLimitMilliseconds(-3, second), 0);
  EXPECT_EQ(TimeLimitMilliseconds(4294967, second), 4294967000);
  EXPECT_EQ(TimeLimitMilliseconds(4294968, second), kLongestWaitMs);
  EXPECT_EQ(TimeLimitMilliseconds(2147483647, second), kLongestWaitMs);
}

}  // namespace
}  // namespace appcensus
