// A thousand randomised requests against fast, slow, unreachable, failing and impostor
// machines, under random time limits: an abandoned job never writes after its limit, and
// every request starts clean.
#include <gtest/gtest.h>

#include <cctype>
#include <random>

#include "core/application_record.h"
#include "request/machine_job.h"
#include "request/machine_worker.h"
#include "tests/support/memory_registry.h"
#include "tests/support/thread_signals.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus {
namespace {

class FakeWindow : public WorkerWindow {
 public:
  void ClearApplicationViews() override {}
  void FillApplicationViews() override {}
  void SetViewsBusy(int) override {}
  Text TimeLimitText() override { return timeLimit; }
  void SaveTimeLimitSetting() override {}
  Text timeLimit;
};


TEST(AbandonStressTest, NoJobWritesAfterItsLimitAndEveryRequestStartsClean) {
  constexpr int kRequests = 1000;
  auto registry = std::make_shared<MemoryRegistry>(u"LOCALPC");  // outlives late jobs
  ScopedRegistryApi scope(*registry);
  SharedState state;
  auto log = std::make_shared<RecordingActivityLog>();
  FakeWindow window;
  auto jobs = std::make_shared<testing::EventCounter>();
  MachineJobServices services;
  services.state = &state;
  services.log = log.get();
  services.identityWait = std::chrono::milliseconds(40);

  WorkerTiming timing;
  timing.poll = std::chrono::milliseconds(0);
  timing.progressResetPause = std::chrono::milliseconds(0);
  timing.perLimitSecond = std::chrono::milliseconds(12);
  MachineWorker worker(
      state, *log, window,
      [services, jobs, registry](const Text& request, const std::shared_ptr<JobGate>& gate) {
        RunMachineJob(request, gate, services);
        jobs->Add();
      },
      [] { return Text(u"LOCALPC"); }, timing);

  std::mt19937 random(20261206);
  const char16_t* limits[] = {u"0", u"1", u"2", u"3", u"5", u"$2", u"abc"};
  struct Request {
    Text text;
    std::vector<Text> machines;
    bool abandoned = false;
  };
  std::vector<Request> requests;

  for (int i = 0; i < kRequests; ++i) {
    Request request;
    const int count = 1 + static_cast<int>(random() % 3);
    for (int m = 0; m < count; ++m) {
      const Text name = u"M" + DecimalText(i) + u"X" + DecimalText(m);
      const int kind = static_cast<int>(random() % 5);
      MemoryMachine& machine = registry->AddMachine(kind == 4 ? u"OTHER" + name : name);
      if (kind == 4) machine.AddAlias(name);  // answers, but under another name
      for (int e = 0; e < 3; ++e)
        machine.SetString(Text(kUninstallKeyPath) + u"\\" + name + u"E" + DecimalText(e), u"DisplayName",
                          u"App of " + name);
      MemoryMachine::Faults faults;
      if (kind == 1) faults.delayPerCall = std::chrono::milliseconds(1 + random() % 3);
      if (kind == 2) faults.unreachable = true;
      if (kind == 3) faults.loseConnectionAfterCalls = static_cast<int>(5 + random() % 60);
      machine.SetFaults(faults);
      request.machines.push_back(name);
      request.text += (m ? u";" : u"") + name;
    }
    window.timeLimit = limits[random() % std::size(limits)];
    state.pendingMachineRequest.Set(request.text);
    const std::size_t before = log->Count();
    ASSERT_TRUE(worker.ProcessPendingRequest());

    // Started clean: whatever the table holds now belongs to this request.
    for (const auto& record : state.applicationTable.Snapshot())
      ASSERT_NE(std::find(request.machines.begin(), request.machines.end(), record.Machine), request.machines.end())
          << "request " << i << " holds a record of an earlier request";
    for (const auto& entry : state.uninstallEntryList.Snapshot())
      ASSERT_NE(std::find(request.machines.begin(), request.machines.end(), entry.Machine), request.machines.end());
    const auto calls = log->Calls();
    for (std::size_t c = before; c < calls.size(); ++c)
      if (calls[c].text == u"Impossible de r\u00e9cuperer les informations de la machine.") request.abandoned = true;
    requests.push_back(std::move(request));
  }
  jobs->WaitFor(kRequests);  // every job, abandoned or not, has run to its end

  // Once the worker has closed request j (its "done" or "failed" line), no line names a
  // machine of j any more.
  const auto calls = log->Calls();
  const auto mentions = [](const Text& text, const Text& machine) {
    for (std::size_t at = text.find(u" " + machine); at != Text::npos; at = text.find(u" " + machine, at + 1)) {
      const std::size_t after = at + 1 + machine.size();
      if (after >= text.size() || !std::isalnum(static_cast<unsigned char>(text[after] & 0x7F))) return true;
    }
    return false;
  };
  std::size_t next = 0;
  int abandoned = 0;
  for (std::size_t j = 0; j < requests.size(); ++j) {
    abandoned += requests[j].abandoned ? 1 : 0;
    const Text start = u"D\u00e9marrage du traitement pour la machine " + requests[j].text;
    while (next < calls.size() && calls[next].text != start) ++next;
    ASSERT_LT(next, calls.size()) << "request " << j << " never started";
    std::size_t closing = next;
    while (closing < calls.size() &&
           calls[closing].text != u"Impossible de r\u00e9cuperer les informations de la machine." &&
           calls[closing].text != u"Traitement termin\u00e9 sur la machine " + requests[j].text)
      ++closing;
    ASSERT_LT(closing, calls.size()) << "request " << j << " never closed";
    for (std::size_t c = closing + 1; c < calls.size(); ++c)
      for (const auto& machine : requests[j].machines)
        ASSERT_FALSE(mentions(calls[c].text, machine))
            << "line " << c << " of request " << j << " came after its end: " << TextToUtf8(calls[c].text);
    next = closing;
  }
  // The mix really exercised both outcomes.
  EXPECT_GT(abandoned, kRequests / 10);
  EXPECT_LT(abandoned, kRequests);
  std::printf("%d of %d requests abandoned, %zu log calls\n", abandoned, kRequests, calls.size());
}

}  // namespace
}  // namespace appcensus
