// The worker running the real job against simulated machines: a slow machine outlives its
// limit and is abandoned, a list of machines is read in one job.
#include <gtest/gtest.h>


#include "core/application_record.h"
#include "request/machine_job.h"
#include "request/machine_worker.h"
#include "tests/support/memory_registry.h"
#include "tests/support/thread_signals.h"
#include "registry/registry_layer.h"
#include "settings/stored_settings.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus {
namespace {

class FakeWindow : public WorkerWindow {
 public:
  void ClearApplicationViews() override {}
  void FillApplicationViews() override { ++fills; }
  void SetViewsBusy(int) override {}
  Text TimeLimitText() override { return timeLimit; }
  void SaveTimeLimitSetting() override { appcensus::SaveTimeLimitSetting(timeLimit); }
  Text timeLimit = u"15";
  int fills = 0;
};


class WorkerJobTest : public ::testing::Test {
 protected:
  WorkerJobTest() {
    for (int i = 0; i < 5; ++i) {
      const Text key = Text(kUninstallKeyPath) + u"\\App" + DecimalText(i);
      srv2_.SetString(key, u"DisplayName", u"Application " + DecimalText(i));
      registry_.Local().SetString(key, u"DisplayName", u"Locale " + DecimalText(i));
    }
    services_.state = &state_;
    services_.log = &log_;
    services_.identityWait = std::chrono::milliseconds(3000);
  }
  MachineWorker MakeWorker() {
    WorkerTiming timing;
    timing.poll = std::chrono::milliseconds(1);
    timing.progressResetPause = std::chrono::milliseconds(1);
    timing.perLimitSecond = std::chrono::milliseconds(100);  // "1" in the field is 100 ms here
    return MachineWorker(
        state_, log_, window_,
        [this](const Text& request, const std::shared_ptr<JobGate>& gate) {
          RunMachineJob(request, gate, services_);
          ends_->Add();
        },
        [] { return Text(u"LOCALPC"); }, timing);
  }

  MemoryRegistry registry_{u"LOCALPC"};
  MemoryMachine& srv2_ = registry_.AddMachine(u"SRV2");
  ScopedRegistryApi scope_{registry_};
  SharedState state_;
  RecordingActivityLog log_;
  FakeWindow window_;
  MachineJobServices services_;
  std::shared_ptr<testing::EventCounter> ends_ = std::make_shared<testing::EventCounter>();
};

TEST_F(WorkerJobTest, ASlowMachineIsAbandonedAndWritesNothingAfterItsLimit) {
  MemoryMachine::Faults slow;
  slow.delayPerCall = std::chrono::milliseconds(30);  // about 27 calls per entry: far over 100 ms
  srv2_.SetFaults(slow);
  window_.timeLimit = u"1";
  state_.pendingMachineRequest.Set(u"SRV2");
  auto worker = MakeWorker();
  worker.ProcessPendingRequest();

  const std::size_t linesAtLimit = log_.Count();
  const std::size_t recordsAtLimit = state_.applicationTable.Count();
  const std::size_t entriesAtLimit = state_.uninstallEntryList.Count();
  EXPECT_EQ(log_.Lines().back(), u"Impossible de r\u00e9cuperer les informations de la machine.");
  EXPECT_EQ(window_.fills, 0);
  EXPECT_LT(recordsAtLimit, 5u);

  ends_->WaitFor(1);  // the abandoned job has run to its end
  EXPECT_EQ(log_.Count(), linesAtLimit);
  EXPECT_EQ(state_.applicationTable.Count(), recordsAtLimit);
  EXPECT_EQ(state_.uninstallEntryList.Count(), entriesAtLimit);
  EXPECT_EQ(state_.lastMachineName.Get(), u"");
  EXPECT_EQ(ReadRegistryValue(kSettingsKeyPath, kHistoryValue, u"."), u"");

  // The next request starts clean and succeeds.
  srv2_.SetFaults({});
  window_.timeLimit = u"15";
  state_.pendingMachineRequest.Set(u"SRV2");
  worker.ProcessPendingRequest();
  EXPECT_EQ(state_.applicationTable.Count(), 5u);
  EXPECT_EQ(state_.lastMachineName.Get(), u"SRV2");
  EXPECT_EQ(ReadRegistryValue(kSettingsKeyPath, kHistoryValue, u"."), u"SRV2");
}

TEST_F(WorkerJobTest, AListOfMachinesIsOneJobNamedWholeAndNotRemembered) {
  state_.pendingMachineRequest.Set(u"SRV2;.");
  auto worker = MakeWorker();
  worker.ProcessPendingRequest();
  ends_->WaitFor(1);
  EXPECT_EQ(state_.applicationTable.Count(), 10u);
  EXPECT_EQ(window_.fills, 1);
  EXPECT_EQ(state_.lastMachineName.Get(), u"SRV2;.");
  EXPECT_EQ(log_.Lines().back(), u"Traitement termin\u00e9 sur la machine SRV2;.");
  EXPECT_EQ(ReadRegistryValue(kSettingsKeyPath, kHistoryValue, u"."), u"");
}

}  // namespace
}  // namespace appcensus
