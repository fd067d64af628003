// The job's gate, a request of one machine or of a list (each machine under its own limit,
// several at once, its results kept whatever the others did), the window's worker (the
// lines of a request, the hand-over, the history), and a thousand randomised requests.
#include <gtest/gtest.h>

#include <future>
#include <random>

#include "request/job_gate.h"
#include "request/machine_worker.h"
#include "settings/stored_settings.h"
#include "tests/support/memory_registry.h"
#include "tests/support/network_probe_double.h"
#include "tests/support/service_control_double.h"
#include "tests/support/recording_activity_log.h"
#include "tests/support/thread_signals.h"

namespace appcensus {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<Text>;

const Text kStart = u"D\u00e9marrage du traitement pour la machine ";
const Text kWait = u" secondes de temp d'attente pour le traitement de la machine";
const Text kDone = u"Traitement termin\u00e9 sur la machine ";
const Text kFailed = u"Impossible de r\u00e9cuperer les informations de la machine.";

RequestOptions WithIdentityWait(std::chrono::milliseconds wait) {
  RequestOptions options;
  options.inventory.identityWait = wait;
  return options;
}

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

TEST(TimeLimitTest, SecondsTimesTheSecondCappedAtTheLongestFiniteWait) {
  const std::tuple<std::int32_t, std::chrono::milliseconds, std::int64_t> cases[] = {
      {15, 1s, 15000}, {-3, 1s, 0}, {7, 12ms, 84}, {4294967, 1s, 4294967000}, {4294968, 1s, kLongestWaitMs}};
  for (const auto& [seconds, perSecond, ms] : cases) EXPECT_EQ(TimeLimitMilliseconds(seconds, perSecond), ms) << seconds;
}

TEST(RequestMachinesTest, NamesInOrderOnceEachWithoutBlanksOrEmptyOnesAndTheLocalMachineWhenNoneIsLeft) {
  const std::pair<const char16_t*, Lines> cases[] = {
      {u"SRV1", {u"SRV1"}}, {u" SRV1 ;\tsrv2", {u"SRV1", u"srv2"}}, {u"VM;", {u"VM"}}, {u".;", {u"."}},
      {u";", {u"."}},       {u"", {u"."}},                         {u"A;;B;a", {u"A", u"B"}},
      {u"\\\\vm;VM;.;\\\\A;a", {u"vm", u"A"}}, {u".;vm", {u"."}}};  // the local computer is VM
  for (const auto& [request, machines] : cases) EXPECT_EQ(RequestMachines(request, u"VM"), machines) << TextToUtf8(request);
}

// Notes what the worker asks of the window among the log lines.
class RecordingWindow : public WorkerWindow {
 public:
  explicit RecordingWindow(RecordingActivityLog& log) : log_(log) {}
  void ClearApplicationViews() override { Note(u"<clear>"); }
  void FillApplicationViews() override { Note(u"<fill>"); }
  void SetViewsBusy(bool busy) override { Note(busy ? u"<busy 1>" : u"<busy 0>"); }
  Text TimeLimitText() override { return timeLimit; }
  void SaveTimeLimitSetting() override { Note(u"<save limit>"); }
  void ReloadMachineHistory() override { Note(u"<history>"); }
  void ScheduleProgressReset() override { Note(u"<progress reset>"); }
  bool StartRemoteRegistry() override { return false; }
  void Note(TextView what) { log_.LogActivity(what, ActivityLevel::None, -1); }
  Text timeLimit = u"$F";

 private:
  RecordingActivityLog& log_;
};

// Machines that answer (A1: two entries, A2: one), do not, answer under another name, or
// only after the limit; "." is the local computer LOCALPC with one entry.
class RequestTest : public ::testing::Test {
 protected:
  RequestTest() {
    Put(Put(registry_.AddMachine(u"A1"), u"K1"), u"K2");
    Put(registry_.AddMachine(u"A2"), u"K1");
    Put(registry_.Local(), u"L1");
    registry_.AddMachine(u"DOWN").SetFaults({.unreachable = true});
    registry_.AddMachine(u"REAL").AddAlias(u"FAKE");
    Put(registry_.AddMachine(u"SLOW"), u"K1").SetFaults({.roundTrip = 300ms});
  }
  static MemoryMachine& Put(MemoryMachine& machine, TextView key) {
    machine.SetString(Text(kUninstallKeyPath) + u"\\" + Text(key), u"DisplayName", u"App");
    return machine;
  }
  // The worker's passes over the request slot holding `request`, until it is empty.
  void Process(TextView request, std::chrono::milliseconds perLimitSecond = 1s) {
    MachineWorker worker(state_, log_, window_, options_, [] { return Text(u"HOSTNAME"); }, perLimitSecond);
    state_.pendingMachineRequest.Set(request);
    ASSERT_TRUE(worker.ProcessPendingRequest());
    while (worker.ProcessPendingRequest()) {
    }
    EXPECT_TRUE(worker.WaitForLateWork(30s));  // a slow machine's identity test goes on after its limit
  }
  // The lines from the limit's line on, without the machines' own activity (identity test,
  // inventory), which the inventory tests cover.
  Lines WorkerLines() const {
    Lines lines;
    for (const Text& line : log_.Lines())
      if (line.starts_with(u"<") || line.starts_with(u"Machine ") || line.starts_with(kDone) || line.starts_with(kStart) ||
          line.ends_with(kWait) || line == kFailed || line.ends_with(u"sans r\u00e9ponse") || line.ends_with(u" applications") ||
          line.starts_with(u"Le temps"))
        lines.push_back(line);
    return lines;
  }

  MemoryRegistry registry_;
  ScopedRegistryApi scope_{registry_};
  SharedState state_;
  RecordingActivityLog log_;
  RecordingWindow window_{log_};
  RequestOptions options_ = WithIdentityWait(20s);
};

// List shapes in the window: each machine closes with its own line, in list order, keeps its
// records whatever the others did, and the request's closing line is Done only when every
// machine was listed. One machine alone behaves as it always did.
TEST_F(RequestTest, EachMachineOfAListStandsOnItsOwn) {
  const Text none = u" : aucune r\u00e9ponse, aucune application r\u00e9cup\u00e9r\u00e9e.";
  const Text late = u" : temps d'attente d\u00e9pass\u00e9, aucune application r\u00e9cup\u00e9r\u00e9e.";
  const std::tuple<const char16_t*, const char16_t*, Lines, std::size_t, ActivityLevel> cases[] = {
      // request, limit, lines, records, level of the request's closing line
      {u"A1", u"15", {u"<history>", u"<fill>", u"2 applications", kDone + u"A1", u"<save limit>", u"<progress reset>"}, 2, ActivityLevel::Done},
      {u"SLOW", u"0", {kFailed, u"Le temps d'attente est de 0 seconde : aucune machine ne peut r\u00e9pondre \u00e0 temps.", u"<busy 0>"}, 0, ActivityLevel::Error},
      {u"A1;SLOW;A2", u"1",
       {u"Machine A1 : 2 applications.", kFailed, u"Machine SLOW" + late, u"Machine A2 : 1 applications.", u"<fill>",
        u"3 applications", kDone + u"A1;SLOW;A2", u"1 machine sur 3 sans r\u00e9ponse", u"<save limit>", u"<progress reset>"},
       3, ActivityLevel::Error},
      {u"DOWN;FAKE", u"15",
       {u"Machine DOWN" + none, u"Machine FAKE : une autre machine r\u00e9pond sous ce nom, aucune application r\u00e9cup\u00e9r\u00e9e.",
        u"<fill>", kDone + u"DOWN;FAKE", u"2 machines sur 2 sans r\u00e9ponse", u"<save limit>", u"<progress reset>"},
       0, ActivityLevel::Error},
      {u"A2;a2", u"15", {u"<history>", u"<fill>", kDone + u"A2;a2", u"<save limit>", u"<progress reset>"}, 1, ActivityLevel::Done},
      {u"A2;.", u"15", {u"Machine A2 : 1 applications.", u"Machine . : 1 applications.", u"<fill>", u"2 applications",
        kDone + u"A2;.", u"<save limit>", u"<progress reset>"}, 2, ActivityLevel::Done},
      {u".;", u"15", {u"<history>", u"<fill>", u"1 applications", kDone + u"HOSTNAME", u"<save limit>", u"<progress reset>"}, 1, ActivityLevel::Done}};
  for (const auto& [request, limit, lines, records, level] : cases) {
    log_.Clear();
    window_.timeLimit = limit;
    Process(request, 200ms);
    Lines expected = {kStart + request, u"<clear>", Text(limit) + kWait};
    expected.insert(expected.end(), lines.begin(), lines.end());
    Lines shown = WorkerLines();
    std::erase_if(shown, [](const Text& line) { return line.ends_with(u" applications") && !line.starts_with(u"Machine"); });
    std::erase_if(expected, [](const Text& line) { return line.ends_with(u" applications"); });
    EXPECT_EQ(shown, expected) << TextToUtf8(request);
    EXPECT_EQ(state_.applicationTable.Count(), records) << TextToUtf8(request);
    const auto calls = log_.Calls();
    const auto closing = std::ranges::find_if(calls, [&](const auto& call) { return call.text.starts_with(kDone) || call.text == kFailed; });
    ASSERT_NE(closing, calls.end());
    if (closing->text.starts_with(kDone)) {
      EXPECT_EQ(closing->level, level) << TextToUtf8(request);
    }
  }
}

// A request taken by the worker leaves the slot: one made while it runs runs next, and of two
// made before the worker takes either, only the later one runs.
TEST_F(RequestTest, ARequestMadeMeanwhileRunsNextAndAnUntakenOneGivesWay) {
  registry_.beforeConnect = [&](const Text& machine) {
    if (machine == u"A1" && state_.pendingMachineRequest.Get().empty()) state_.pendingMachineRequest.Set(u"A2");
  };
  state_.pendingMachineRequest.Set(u"DOWN");
  EXPECT_EQ(state_.pendingMachineRequest.Exchange(u"A1"), u"DOWN");  // never taken: the window says so
  Process(u"A1");
  Lines starts;
  for (const Text& line : log_.Lines())
    if (line.starts_with(kStart)) starts.push_back(line);
  EXPECT_EQ(starts, (Lines{kStart + u"A1", kStart + u"A2"}));
}

// A remote machine that gives nothing says why: the network and the registry's first answer
// decide the cause, which the report's message gives; one whose Remote Registry service does
// not answer has it started when asked, is read, and the service is stopped again.
TEST_F(RequestTest, ACauseForEachMachineThatGivesNothingAndTheServiceStartedWhenAsked) {
  NetworkProbeDouble network;
  for (const char16_t* host : {u"A1", u"NOREG", u"DENIED"}) network.AddHost(host, {PortAnswer::Answered});
  network.AddHost(u"OFFLINE", {PortAnswer::NoAnswer});
  network.AddHost(u"CLOSED", {PortAnswer::Refused});
  MemoryMachine& noRegistry = Put(registry_.AddMachine(u"NOREG"), u"K1");
  registry_.AddMachine(u"DENIED").SetFaults({.connectStatus = reg::kAccessDenied});
  class Service : public ServiceControlDouble {
   public:
    explicit Service(MemoryMachine& machine) : machine_(machine) {}
    long Start() override {
      machine_.SetFaults({});
      return ServiceControlDouble::Start();
    }
    MemoryMachine& machine_;
  };
  const std::tuple<const char16_t*, bool, MachineOutcome, MachineCause, RemoteRegistryOutcome> cases[] = {
      {u"A1", false, MachineOutcome::Listed, MachineCause::None, RemoteRegistryOutcome::NothingDone},
      {u"NOWHERE", false, MachineOutcome::Unreachable, MachineCause::NameUnknown, RemoteRegistryOutcome::NothingDone},
      {u"OFFLINE", false, MachineOutcome::Unreachable, MachineCause::NoAnswer, RemoteRegistryOutcome::NothingDone},
      {u"CLOSED", false, MachineOutcome::Unreachable, MachineCause::Refused, RemoteRegistryOutcome::NothingDone},
      {u"DENIED", true, MachineOutcome::Unreachable, MachineCause::AccessDenied, RemoteRegistryOutcome::NothingDone},
      {u"NOREG", false, MachineOutcome::Unreachable, MachineCause::NoRemoteRegistry, RemoteRegistryOutcome::NothingDone},
      {u"NOREG", true, MachineOutcome::Listed, MachineCause::None, RemoteRegistryOutcome::StartedAndRestored}};
  for (const auto& [machine, start, outcome, cause, service] : cases) {
    noRegistry.SetFaults({.connectStatus = reg::kServerUnavailable});
    RecordingActivityLog log;
    class Report : public MachineReport {
     public:
      explicit Report(RecordingActivityLog& log) : log_(log) {}
      void Activity(TextView, TextView text, ActivityLevel level, int field) override { log_.LogActivity(text, level, field); }
      void Progress(TextView, int, int) override {}
      void MachineDone(const MachineResult&) override {}
      RecordingActivityLog& log_;
    } report(log);
    Service* control = nullptr;
    RequestOptions options = options_;
    options.startRemoteRegistry = start;
    options.platform.probe = &network;
    options.platform.serviceControl = [&] {
      auto made = std::make_unique<Service>(noRegistry);
      control = made.get();
      return made;
    };
    options.platform.serviceClock.sleep = [](std::chrono::milliseconds) {};
    MachineRequest request({machine}, options);
    const MachineResult result = request.Run(report).at(0);
    SCOPED_TRACE(TextToUtf8(machine));
    EXPECT_EQ(result.outcome, outcome);
    EXPECT_EQ(result.cause, cause);
    EXPECT_EQ(result.remoteRegistry, service);
    const Lines lines = log.Lines();
    const bool tested = std::ranges::any_of(lines, [](const Text& line) { return line.starts_with(u"[TestMachine]"); });
    EXPECT_EQ(tested, cause == MachineCause::None || cause >= MachineCause::NoRemoteRegistry);  // after 445 answered
    if (cause != MachineCause::None) {
      EXPECT_EQ(result.message, DescribeMachineCause(cause).message);
      EXPECT_EQ(lines.back(), result.message);
    }
    EXPECT_EQ(control != nullptr, service != RemoteRegistryOutcome::NothingDone);
    if (control) {
      EXPECT_EQ(std::ranges::count(control->calls, "stop"), 1);  // started here, so stopped again
    }
  }
}

// Twenty machines at 20 ms per round trip, five of which never answer: every machine that
// answers is listed with all its records, whatever the others did.
TEST(MachineRequestTest, TwentyMachinesOfWhichFiveNeverAnswer) {
  auto registry = std::make_shared<MemoryRegistry>();  // outlives the identity tests left waiting
  ScopedRegistryApi scope(*registry);
  auto release = std::make_shared<testing::Latch>();
  std::vector<Text> machines;
  for (int m = 0; m < 20; ++m) {
    const Text name = (m % 4 == 1 ? u"OFF" : u"ON") + DecimalText(m);
    MemoryMachine& machine = registry->AddMachine(name);
    for (int e = 0; e < 300; ++e)
      machine.SetString(Text(kUninstallKeyPath) + u"\\E" + DecimalText(e), u"DisplayName", u"App");
    machine.SetFaults({.roundTrip = 20ms});
    machines.push_back(name);
  }
  registry->beforeConnect = [release](const Text& machine) {
    if (machine.starts_with(u"OFF")) release->Wait();
  };
  class Report : public MachineReport {
   public:
    void Activity(TextView, TextView, ActivityLevel, int) override {}
    void Progress(TextView, int, int) override {}
    void MachineDone(const MachineResult& result) override { done.push_back(result.machine); }
    std::vector<Text> done;
  } report;
  MachineRequest request(machines, WithIdentityWait(kIdentityTestWait));
  const std::vector<MachineResult> results = request.Run(report);
  release->Open();
  EXPECT_EQ(report.done, machines);
  ASSERT_EQ(results.size(), machines.size());
  for (const MachineResult& result : results) {
    const bool on = result.machine.starts_with(u"ON");
    EXPECT_EQ(result.outcome, on ? MachineOutcome::Listed : MachineOutcome::Unreachable) << TextToUtf8(result.machine);
    EXPECT_EQ(result.records.size(), on ? 300u : 0u) << TextToUtf8(result.machine);
    if (!on) {
      EXPECT_EQ(result.message, u"Impossible de contacter la machine " + result.machine + u".");  // its test still waits
    }
  }
  EXPECT_TRUE(request.WaitForLateWork(30s));
}

// Whether a log line names the machine: after a blank, and not as the start of a longer name.
bool Mentions(const Text& line, const Text& machine) {
  for (std::size_t at = line.find(u" " + machine); at != Text::npos; at = line.find(u" " + machine, at + 1))
    if (at + 1 + machine.size() == line.size() || !std::isalnum(line[at + 1 + machine.size()] & 0x7F)) return true;
  return false;
}

// Against fast, slow, unreachable, failing and impostor machines, alone and in lists: every
// request starts clean, and once a machine's closing line is written (its own in a list, the
// request's for one machine) nothing names it any more but the request's closing lines.
TEST(MachineWorkerTest, AThousandRequestsNeverWriteAfterTheirClosingLine) {
  constexpr int kRequests = 1000;
  auto registry = std::make_shared<MemoryRegistry>();
  ScopedRegistryApi scope(*registry);
  SharedState state;
  RecordingActivityLog log;
  RecordingWindow window(log);
  std::mt19937 random(20261206);
  const char16_t* limits[] = {u"0", u"1", u"2", u"3", u"5", u"$2", u"abc"};
  std::vector<std::pair<Text, Lines>> requests;  // request text, machine names
  std::vector<std::unique_ptr<MachineWorker>> workers;
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
    window.timeLimit = limits[random() % std::size(limits)];
    MachineWorker& worker = *workers.emplace_back(std::make_unique<MachineWorker>(
        state, log, window, WithIdentityWait(40ms), [] { return Text(u"HOSTNAME"); }, 12ms));
    state.pendingMachineRequest.Set(request);
    ASSERT_TRUE(worker.ProcessPendingRequest());
    // Whatever the table holds now belongs to this request.
    for (const auto& record : state.applicationTable.Snapshot())
      ASSERT_EQ(std::ranges::count(machines, record.Machine), 1) << i;
    abandoned += state.lastMachineName.Get() != request;  // named only when a machine ended in time
    withRecords += state.applicationTable.Count() > 0;
  }
  for (const auto& worker : workers) ASSERT_TRUE(worker->WaitForLateWork(30s));  // they may write nothing

  const auto lines = log.Lines();
  std::size_t at = 0;
  for (const auto& [request, machines] : requests) {
    while (at < lines.size() && lines[at] != kStart + request) ++at;
    for (const Text& machine : machines) {
      // A machine of a list closes with its own line; one machine alone with the request's.
      const auto closes = [&](const Text& line) {
        return machines.size() > 1 ? line.starts_with(u"Machine " + machine + u" : ")
                                   : line == kFailed || line == kDone + request;
      };
      std::size_t closing = at;
      while (closing < lines.size() && !closes(lines[closing])) ++closing;
      ASSERT_LT(closing, lines.size()) << TextToUtf8(machine) << " never closed";
      for (std::size_t later = closing + 1; later < lines.size(); ++later) {
        if (lines[later] == kDone + request) continue;
        ASSERT_FALSE(Mentions(lines[later], machine)) << TextToUtf8(request) << ": " << TextToUtf8(lines[later]);
      }
    }
  }
  EXPECT_GT(abandoned, kRequests / 10);
  EXPECT_LT(abandoned, kRequests);
  EXPECT_GT(withRecords, kRequests / 10);
}

}  // namespace
}  // namespace appcensus
