// The job of a request: which passes run, and when the machine history is stored.
#include <gtest/gtest.h>

#include "core/application_record.h"
#include "request/machine_job.h"
#include "tests/support/memory_registry.h"
#include "registry/registry_layer.h"
#include "settings/stored_settings.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus {
namespace {

class MachineJobTest : public ::testing::Test {
 protected:
  MachineJobTest() {
    AddEntry(srv2_, u"{11111111-2222-3333-4444-555555555555}", u"Outil");
    AddEntry(srv2_, u"Editor", u"\u00c9diteur");
    AddEntry(registry_.Local(), u"LocalApp", u"Local");
    services_.state = &state_;
    services_.log = &log_;
    services_.reloadMachineHistory = [this] { ++reloads_; };
  }
  static void AddEntry(MemoryMachine& machine, TextView key, TextView name) {
    const Text path = Text(kUninstallKeyPath) + u"\\" + Text(key);
    if (!name.empty()) machine.SetString(path, u"DisplayName", name);
    else machine.CreateKey(path);
  }
  Text History() { return ReadRegistryValue(kSettingsKeyPath, kHistoryValue, u"."); }
  // As the worker does: every job starts on an empty list and table.
  void Run(TextView request, std::shared_ptr<JobGate> gate = std::make_shared<JobGate>()) {
    state_.applicationTable.Clear();
    state_.uninstallEntryList.Clear();
    RunMachineJob(Text(request), gate, services_);
  }

  MemoryRegistry registry_{u"LOCALPC"};
  MemoryMachine& srv2_ = registry_.AddMachine(u"SRV2");
  ScopedRegistryApi scope_{registry_};
  SharedState state_;
  RecordingActivityLog log_;
  MachineJobServices services_;
  int reloads_ = 0;
};

TEST_F(MachineJobTest, OneMachineThatSucceededEntersTheHistoryAsTyped) {
  Run(u"srv2");
  EXPECT_EQ(state_.uninstallEntryList.Count(), 2u);
  EXPECT_EQ(state_.applicationTable.Count(), 2u);
  EXPECT_EQ(History(), u"srv2");
  EXPECT_EQ(reloads_, 1);
  Run(u"SRV2");  // the same machine written otherwise is a new name for the history
  EXPECT_EQ(History(), u"SRV2|srv2");
  EXPECT_EQ(reloads_, 2);
}

TEST_F(MachineJobTest, AListOfMachinesIsReadButNeverRemembered) {
  Run(u"SRV2;.");
  EXPECT_EQ(state_.applicationTable.Count(), 3u);
  EXPECT_EQ(History(), u"");
  EXPECT_EQ(reloads_, 0);
  const auto lines = log_.Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      u"R\u00e9cup\u00e9ration des informations de chaque applications sur la machine SRV2;. (3 entr\u00e9es)..."),
            lines.end());
}

TEST_F(MachineJobTest, TheLocalMachineAndFailedMachinesStayOutOfTheHistory) {
  Run(u".");
  EXPECT_EQ(state_.applicationTable.Count(), 1u);
  EXPECT_EQ(History(), u"");
  EXPECT_EQ(reloads_, 1);  // "." never enters the history; the box is reloaded all the same

  Run(u"NOBODY");
  EXPECT_EQ(History(), u"");
  EXPECT_EQ(reloads_, 1);

  MemoryMachine& empty = registry_.AddMachine(u"NAMELESS");
  AddEntry(empty, u"NoName", u"");
  Run(u"NAMELESS");  // one entry listed, no record read: not remembered
  EXPECT_EQ(History(), u"");
}

TEST_F(MachineJobTest, AnAbandonedJobWritesNothing) {
  auto gate = std::make_shared<JobGate>();
  gate->Abandon();
  Run(u"SRV2", gate);
  EXPECT_EQ(state_.uninstallEntryList.Count(), 0u);
  EXPECT_EQ(state_.applicationTable.Count(), 0u);
  EXPECT_EQ(log_.Count(), 0u);
  EXPECT_EQ(History(), u"");
  EXPECT_EQ(reloads_, 0);
}

}  // namespace
}  // namespace appcensus
