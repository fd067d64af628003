// The two inventory passes against simulated machines: messages, progress, records, reads,
// several machines, late identity tests and abandoned jobs.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <map>
#include <mutex>

#include "inventory/entry_rules.h"
#include "inventory/inventory_passes.h"
#include "request/job_gate.h"
#include "tests/support/memory_registry.h"
#include "tests/inventory/inventory_test_support.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus {
namespace {

using testing::Rendered;
using testing::RenderedLines;
using testing::WatchingRegistry;
using Lines = std::vector<std::string>;
using namespace std::chrono_literals;
using namespace std::string_view_literals;

Text EntryPath(TextView keyName) { return Text(kUninstallKeyPath) + u"\\" + Text(keyName); }

void PutValue(MemoryMachine& machine, TextView keyName, TextView valueName, TextView text) {
  machine.SetString(EntryPath(keyName), valueName, text);
}

// An entry with a display name and a version.
void PutApp(MemoryMachine& machine, TextView keyName, TextView displayName, TextView version = u"1.0") {
  PutValue(machine, keyName, u"DisplayName", displayName);
  PutValue(machine, keyName, u"DisplayVersion", version);
}

bool Contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class InventoryPassTest : public ::testing::Test {
 protected:
  InventoryPassTest() {
    context_.state = &state_;
    context_.log = log_;
    context_.gate = gate_;
    context_.identityWait = 20s;  // tests that need a short wait set their own
    context_.identityTestStarted = [this](const TaskThread& thread) {
      std::lock_guard lock(threadsMutex_);
      threads_.push_back(thread);
    };
  }
  ~InventoryPassTest() override {
    // Identity tests still running use the registry and the log: they end before those go.
    watching_.ReleaseAll();
    std::lock_guard lock(threadsMutex_);
    for (const auto& thread : threads_) EXPECT_TRUE(thread.WaitFor(20s));
  }

  TaskThread TestThread(std::size_t index) {
    std::lock_guard lock(threadsMutex_);
    return threads_.at(index);
  }
  void WaitForAllTests() {
    std::lock_guard lock(threadsMutex_);
    for (const auto& thread : threads_) ASSERT_TRUE(thread.WaitFor(20s));
  }
  std::vector<std::string> EntryTexts() const {
    std::vector<std::string> texts;
    for (const auto& entry : state_.uninstallEntryList.Snapshot()) texts.push_back(TextToUtf8(entry.Machine + u"|" + entry.KeyName));
    return texts;
  }
  std::map<std::string, ApplicationRecord> Records() const {
    std::map<std::string, ApplicationRecord> records;
    for (const auto& record : state_.applicationTable.Snapshot()) records[TextToUtf8(ApplicationTable::KeyOf(record))] = record;
    return records;
  }

  MemoryRegistry registry_{u"LOCALPC"};
  MemoryMachine& local_ = registry_.Local();
  MemoryMachine& srv1_ = registry_.AddMachine(u"SRV1");
  MemoryMachine& srv2_ = registry_.AddMachine(u"SRV2");
  WatchingRegistry watching_{registry_};
  ScopedRegistryApi scope_{watching_};

  SharedState state_;
  std::shared_ptr<JobGate> gate_ = std::make_shared<JobGate>();
  std::shared_ptr<RecordingActivityLog> log_ = std::make_shared<RecordingActivityLog>();
  InventoryContext context_;
  std::mutex threadsMutex_;
  std::vector<TaskThread> threads_;
};

TEST_F(InventoryPassTest, LocalMachineFromFirstLineToLastRecord) {
  PutValue(local_, u"{AAA-1}", u"DisplayName", u"Alpha");
  PutValue(local_, u"{AAA-1}", u"DisplayVersion", u"2.5");
  PutValue(local_, u"{AAA-1}", u"InstallDate", u"20110606");
  PutValue(local_, u"{AAA-1}", u"InstallSource", u"D:\\media\\");
  PutValue(local_, u"{AAA-1}", u"InstallLocation", u"C:\\Alpha\\");
  PutValue(local_, u"{AAA-1}", u"UninstallString", u"MsiExec.exe /X{AAA-1}");
  PutValue(local_, u"NoName", u"DisplayVersion", u"9");  // listed and visited, but no record

  EXPECT_EQ(EnumerateUninstallEntries(context_, u"."), 2u);
  EXPECT_FALSE(state_.machineTestPassed);
  EXPECT_EQ(EntryTexts(), (Lines{".|NoName", ".|{AAA-1}"}));  // enumeration order
  EXPECT_EQ(ReadApplicationDetails(context_, u"."), 1u);

  EXPECT_EQ(
      Rendered(log_->Calls()),
      (Lines{"[TestMachine] : Démarrage du test machine sur .|1|1",
             "[TestMachine] : Machine locale, le nom de machine est conforme.|2|1",
             "Connexion à la base de registre de la machine ....|1|1", "progress 0/100", "progress 1/100",
             "Recherches des applications effectuées sur la machine ..|0|1", "2 Entrées|0|3",
             "Récupération des informations de chaque applications sur la machine . (2 entrées)...|1|1", "progress 1/2",
             "progress 2/2", "Récupération des informations d'applications effectuées. 2 entrées traités.|2|1"}));
  const auto records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records.begin()->first, "._{AAA-1}");
  EXPECT_EQ(records.begin()->second,
            (ApplicationRecord{u"Alpha", u"2.5", u"D:\\media\\", u"06/06/2011", u"MsiExec.exe /X{AAA-1}",
                               u"C:\\Alpha\\", u"{AAA-1}", u".", u"{AAA-1}"}));
}

TEST_F(InventoryPassTest, SeveralMachinesInListOrderCountTheLastOneOnly) {
  PutApp(srv1_, u"A1", u"One A");
  PutApp(srv1_, u"A2", u"One B");
  PutApp(srv2_, u"B1", u"Two A");
  PutApp(srv2_, u"B2", u"Two B");
  PutApp(srv2_, u"B3", u"Two C");

  EXPECT_EQ(EnumerateUninstallEntries(context_, u"SRV2;SRV1"), 5u);
  EXPECT_EQ(EntryTexts(), (Lines{"SRV2|B1", "SRV2|B2", "SRV2|B3", "SRV1|A1", "SRV1|A2"}));
  Lines lines = RenderedLines(*log_);
  EXPECT_EQ(lines.back(), "2 Entrées|0|3");
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const auto& l) { return l.find("Entrées") != l.npos; }), 1);

  EXPECT_EQ(ReadApplicationDetails(context_, u"SRV2;SRV1"), 5u);
  lines = RenderedLines(*log_);
  EXPECT_TRUE(Contains(lines,
                       "Récupération des informations de chaque applications sur la machine SRV2;SRV1 "
                       "(5 entrées)...|1|1"));
  EXPECT_EQ(Records().count("SRV1_A2"), 1u);
  EXPECT_EQ(Records().at("SRV2_B3").DisplayName, u"Two C");

  // A last machine that does not answer gives a count of 0, whatever the others gave.
  log_->Clear();
  EXPECT_EQ(EnumerateUninstallEntries(context_, u"SRV2;GHOST"), 3u);
  EXPECT_EQ(RenderedLines(*log_).back(), "0 Entrées|0|3");
}

TEST_F(InventoryPassTest, UnreachableMachineBetweenTwoGoodOnes) {
  PutApp(srv1_, u"A1", u"One");
  PutApp(srv2_, u"B1", u"Two");
  MemoryMachine& down = registry_.AddMachine(u"DOWN");
  PutApp(down, u"C1", u"Never");
  MemoryMachine::Faults faults;
  faults.unreachable = true;
  down.SetFaults(faults);

  EXPECT_EQ(EnumerateUninstallEntries(context_, u"SRV1;DOWN;SRV2"), 2u);
  EXPECT_EQ(EntryTexts(), (Lines{"SRV1|A1", "SRV2|B1"}));
  EXPECT_EQ(
      RenderedLines(*log_),
      (Lines{"[TestMachine] : Démarrage du test machine sur SRV1|1|1",
             "[TestMachine] : Teste de la machine effectuée correctement.|2|1",
             "Connexion à la base de registre de la machine SRV1...|1|1",
             "Recherches des applications effectuées sur la machine SRV1.|0|1",
             "[TestMachine] : Démarrage du test machine sur DOWN|1|1",
             "[TestMachine] : Impossible de contacter la machine.|3|1", "Impossible de contacter la machine DOWN.|3|1",
             "[TestMachine] : Démarrage du test machine sur SRV2|1|1",
             "[TestMachine] : Teste de la machine effectuée correctement.|2|1",
             "Connexion à la base de registre de la machine SRV2...|1|1",
             "Recherches des applications effectuées sur la machine SRV2.|0|1", "1 Entrées|0|3"}));
}

TEST_F(InventoryPassTest, SlowMachineCountsAsFailedAndItsLateMessagesStillArrive) {
  MemoryMachine& slow = registry_.AddMachine(u"SLOW");
  PutApp(slow, u"S1", u"Slow app");
  PutApp(srv2_, u"B1", u"Two");
  MemoryMachine::Faults faults;
  faults.delayPerCall = 300ms;  // the test needs several calls: far beyond the wait
  slow.SetFaults(faults);
  context_.identityWait = 20ms;
  // The delay makes the test late; holding its connection until the pass has returned makes
  // its late lines come after all of SRV2's whatever the machine's load.
  watching_.Hold(u"SLOW");

  EXPECT_EQ(EnumerateUninstallEntries(context_, u"SLOW;SRV2"), 1u);
  EXPECT_EQ(EntryTexts(), (Lines{"SRV2|B1"}));
  Lines lines = RenderedLines(*log_);
  EXPECT_TRUE(Contains(lines, "Impossible de contacter la machine SLOW.|3|1"));
  EXPECT_TRUE(Contains(lines, "Connexion à la base de registre de la machine SRV2...|1|1"));

  watching_.Release(u"SLOW");
  WaitForAllTests();
  lines = RenderedLines(*log_);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "[TestMachine] : Teste de la machine effectuée correctement.|2|1"),
            2);  // SRV2's, then SLOW's late one
  EXPECT_EQ(lines.back(), "[TestMachine] : Teste de la machine effectuée correctement.|2|1");
  EXPECT_FALSE(state_.machineTestPassed);
  EXPECT_EQ(state_.uninstallEntryList.Count(), 1u);
}

TEST_F(InventoryPassTest, LateVerdictNeverCountsForTheNextMachine) {
  // SLOW and HELD both answer rightly, but only after their waits. SLOW's test passes while
  // HELD's test still runs, so a verdict shared between tests would let HELD be listed.
  MemoryMachine& slow = registry_.AddMachine(u"SLOW");
  MemoryMachine& held = registry_.AddMachine(u"HELD");
  PutApp(slow, u"S1", u"Slow app");
  PutApp(held, u"H1", u"Held app");
  PutApp(srv2_, u"B1", u"Two");
  watching_.Hold(u"SLOW");
  watching_.Hold(u"HELD");
  watching_.beforeConnect = [this](TextView machine) {
    if (machine != u"HELD") return;
    watching_.Release(u"SLOW");
    EXPECT_TRUE(TestThread(0).WaitFor(20s));
  };
  context_.identityWait = 50ms;

  EXPECT_EQ(EnumerateUninstallEntries(context_, u"SLOW;HELD;SRV2"), 1u);
  EXPECT_EQ(EntryTexts(), (Lines{"SRV2|B1"}));
  const Lines lines = RenderedLines(*log_);
  EXPECT_TRUE(Contains(lines, "Impossible de contacter la machine SLOW.|3|1"));
  EXPECT_TRUE(Contains(lines, "Impossible de contacter la machine HELD.|3|1"));
  EXPECT_EQ(lines.back(), "1 Entrées|0|3");

  watching_.Release(u"HELD");
  WaitForAllTests();
  const std::vector<Text> after = log_->Lines();
  EXPECT_EQ(
      std::count(after.begin(), after.end(), Text(u"[TestMachine] : Teste de la machine effectuée correctement.")), 3);
  EXPECT_FALSE(state_.machineTestPassed);
  EXPECT_EQ(state_.uninstallEntryList.Count(), 1u);
}

TEST_F(InventoryPassTest, MachineAnsweringUnderAnotherNameIsNotListed) {
  PutApp(srv2_, u"B1", u"Two");
  srv2_.AddAlias(u"10.0.0.2");
  EXPECT_EQ(EnumerateUninstallEntries(context_, u"10.0.0.2"), 0u);
  EXPECT_EQ(RenderedLines(*log_), (Lines{"[TestMachine] : Démarrage du test machine sur 10.0.0.2|1|1",
                                         "[TestMachine] : Nom de machine demandé : 10.0.0.2|0|1",
                                         "[TestMachine] : Nom de machine cible : SRV2|0|1",
                                         "[TestMachine] : Le nom de machine est différent de celui de la cible.|3|1",
                                         "Impossible de contacter la machine 10.0.0.2.|3|1", "0 Entrées|0|3"}));
  EXPECT_EQ(state_.uninstallEntryList.Count(), 0u);
}

TEST_F(InventoryPassTest, NamesDifferingInCaseGiveTwoSetsOfRecords) {
  PutApp(srv2_, u"B1", u"Two A");
  PutApp(srv2_, u"B2", u"Two B");
  EXPECT_EQ(EnumerateUninstallEntries(context_, u"srv2;SRV2"), 4u);
  const Lines lines = RenderedLines(*log_);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "[TestMachine] : Démarrage du test machine sur SRV2|1|1"), 2);
  EXPECT_TRUE(Contains(lines, "Connexion à la base de registre de la machine srv2...|1|1"));
  EXPECT_EQ(ReadApplicationDetails(context_, u"srv2;SRV2"), 4u);
  const auto records = Records();
  EXPECT_EQ(records.at("srv2_B1").Machine, u"srv2");
  EXPECT_EQ(records.at("SRV2_B1").Machine, u"SRV2");
  EXPECT_EQ(records.at("srv2_B2").DisplayName, u"Two B");
}

TEST_F(InventoryPassTest, SameMachineTwiceOverwritesItsRecordsInPlace) {
  PutApp(srv2_, u"B1", u"Two A");
  PutApp(srv2_, u"B2", u"Two B");
  EXPECT_EQ(EnumerateUninstallEntries(context_, u"SRV2;SRV2"), 4u);
  EXPECT_EQ(RenderedLines(*log_).back(), "2 Entrées|0|3");
  // Between the two visits of B1 its name changes: the later visit's record stands.
  int opens = 0;
  watching_.beforeOpen = [&](TextView subKey) {
    if (subKey.ends_with(u"\\B2") && ++opens == 8) srv2_.SetString(EntryPath(u"B1"), u"DisplayName", u"Renamed");
  };
  EXPECT_EQ(ReadApplicationDetails(context_, u"SRV2;SRV2"), 2u);
  EXPECT_EQ(Records().at("SRV2_B1").DisplayName, u"Renamed");
  EXPECT_EQ(RenderedLines(*log_).back(),
            "Récupération des informations d'applications effectuées. 4 entrées traités.|2|1");
}

TEST_F(InventoryPassTest, ReachableMachineWithoutEntriesListsNothing) {
  registry_.AddMachine(u"EMPTY").CreateKey(kUninstallKeyPath);
  registry_.AddMachine(u"BARE");  // no Uninstall key at all
  for (const char16_t* machine : {u"EMPTY", u"BARE"}) {
    log_->Clear();
    EXPECT_EQ(EnumerateUninstallEntries(context_, machine), 0u);
    const std::string name = TextToUtf8(machine);
    EXPECT_EQ(RenderedLines(*log_),
              (Lines{"[TestMachine] : Démarrage du test machine sur " + name + "|1|1",
                     "[TestMachine] : Teste de la machine effectuée correctement.|2|1",
                     "Connexion à la base de registre de la machine " + name + "...|1|1",
                     "Recherches des applications effectuées sur la machine " + name + ".|0|1", "0 Entrées|0|3"}));
  }
  // An empty list: the detail pass answers with the table's count and logs nothing.
  log_->Clear();
  state_.applicationTable.Store(ApplicationRecord{u"Kept", u"", u"", u"", u"", u"", u"", u"X", u"K"});
  EXPECT_EQ(ReadApplicationDetails(context_, u"EMPTY"), 1u);
  EXPECT_EQ(log_->Count(), 0u);
}

TEST_F(InventoryPassTest, SubkeyWithAnOverlongNameDoesNotHideTheOthers) {
  PutApp(srv2_, u"A", u"First");
  PutApp(srv2_, u"B" + Text(254, u'b'), u"Name of 255 characters");  // too long for the buffer
  PutApp(srv2_, u"C", u"Last");
  EXPECT_EQ(EnumerateUninstallEntries(context_, u"SRV2"), 2u);
  EXPECT_EQ(EntryTexts(), (Lines{"SRV2|A", "SRV2|C"}));
  const Lines calls = Rendered(log_->Calls());
  EXPECT_EQ(std::vector<std::string>(calls.end() - 4, calls.end()),
            (Lines{"progress 0/100", "progress 1/100",
                   "Recherches des applications effectuées sur la machine SRV2.|0|1", "2 Entrées|0|3"}));
}

TEST_F(InventoryPassTest, EveryFallbackAndFormatThroughTheRegistry) {
  const Text long255(255, u'u');
  const Text long254(254, u'v');
  PutApp(local_, u"{DWORD-DATE}", u"Dword date");
  local_.SetDword(EntryPath(u"{DWORD-DATE}"), u"InstallDate", 20110606);
  PutApp(local_, u"ShortDate", u"Short date");
  PutValue(local_, u"ShortDate", u"InstallDate", u"2011");
  PutApp(local_, u"QuotedIcon", u"Quoted icon");
  PutValue(local_, u"QuotedIcon", u"DisplayIcon", u"\"C:\\Program Files\\Qi\\qi.exe\",0");
  PutApp(local_, u"BareIcon", u"Bare icon");
  PutValue(local_, u"BareIcon", u"DisplayIcon", u"bare.exe");
  PutApp(local_, u"{A}{B}", u"Two groups");
  PutApp(local_, u"Command", u"Command fallback");
  PutValue(local_, u"Command", u"RegistryLocation", u"HKLM\\Elsewhere");
  PutValue(local_, u"Command", u"UninstallCommand", u"remove.exe /all");
  PutApp(local_, u"NoCommand", u"Location without command");
  PutValue(local_, u"NoCommand", u"RegistryLocation", u"HKLM\\Elsewhere");
  PutApp(local_, u"LongUninstall", u"Long uninstall", long254);
  PutValue(local_, u"LongUninstall", u"UninstallString", long255);
  PutValue(local_, u"LongUninstall", u"RegistryLocation", u"HKLM\\Elsewhere");
  PutValue(local_, u"LongUninstall", u"UninstallCommand", u"short.exe");
  PutValue(local_, u"LongName", u"DisplayName", long255);
  local_.SetString(EntryPath(u"MultiName"), u"DisplayName", u"One\0Two\0"sv, 7);
  PutValue(local_, u"Accents; été", u"DisplayName", u"Éditeur; café");

  EXPECT_EQ(EnumerateUninstallEntries(context_, u"."), 11u);
  EXPECT_EQ(ReadApplicationDetails(context_, u"."), 9u);
  const auto records = Records();
  const auto field = [&](const std::string& key) { return records.at("._" + key); };
  EXPECT_EQ(field("{DWORD-DATE}").InstallDate, u"06/06/2011");
  EXPECT_EQ(field("{DWORD-DATE}").ProductCode, u"{DWORD-DATE}");
  EXPECT_EQ(field("ShortDate").InstallDate, u"//2011");
  EXPECT_EQ(field("QuotedIcon").InstallLocation, u"C:\\Program Files\\Qi\\");
  EXPECT_EQ(field("BareIcon").InstallLocation, u"");
  EXPECT_EQ(field("{A}{B}").ProductCode, u" - ");
  EXPECT_EQ(field("Command").UninstallString, u"remove.exe /all");
  EXPECT_EQ(field("NoCommand").UninstallString, u"");
  EXPECT_EQ(field("NoCommand").InstallLocation, u" - ");
  EXPECT_EQ(field("LongUninstall").UninstallString, u"short.exe");  // unreadable, so the fallback applies
  EXPECT_EQ(field("LongUninstall").DisplayVersion, long254);
  EXPECT_EQ(field("Accents; été").DisplayName, u"Éditeur; café");
  EXPECT_EQ(records.count("._LongName"), 0u);
  EXPECT_EQ(records.count("._MultiName"), 0u);
}

TEST_F(InventoryPassTest, EightReadsPerEntryNineWithTheFallback) {
  PutApp(local_, u"E1", u"Plain");
  PutValue(local_, u"E2", u"DisplayVersion", u"no name");
  PutApp(local_, u"E3", u"Fallback");
  PutValue(local_, u"E3", u"RegistryLocation", u"HKLM\\x");
  EXPECT_EQ(EnumerateUninstallEntries(context_, u"."), 3u);

  watching_.ForgetQueries();
  const std::size_t callsBefore = registry_.CallCount();
  EXPECT_EQ(ReadApplicationDetails(context_, u"."), 2u);
  std::vector<Text> expected;
  for (int entry = 0; entry < 3; ++entry)
    for (const auto& source : kEntryValueSources) expected.emplace_back(source.valueName);
  expected.insert(expected.end(), u"UninstallCommand");
  EXPECT_EQ(watching_.QueriedValueNames(), expected);
  // Each read opens, queries and closes: nothing else reaches the registry.
  EXPECT_EQ(registry_.CallCount() - callsBefore, 3 * expected.size());
  EXPECT_EQ(registry_.OpenHandleCount(), 0u);
}

TEST_F(InventoryPassTest, AbandonedDetailPassStoresAndLogsNothingMore) {
  for (const char16_t* key : {u"E1", u"E2", u"E3", u"E4"}) PutApp(local_, key, key);
  EXPECT_EQ(EnumerateUninstallEntries(context_, u"."), 4u);
  log_->Clear();
  std::size_t callsAtAbandon = 0;
  int e4Opens = 0;
  watching_.beforeOpen = [&](TextView subKey) {
    if (subKey.ends_with(u"\\E3") && !gate_->Closed()) {
      gate_->Abandon();
      callsAtAbandon = log_->Count();
    }
    if (subKey.ends_with(u"\\E4")) ++e4Opens;
  };
  ReadApplicationDetails(context_, u".");
  EXPECT_EQ(Rendered(log_->Calls()),
            (Lines{"Récupération des informations de chaque applications sur la machine . (4 entrées)...|1|1",
                   "progress 1/4", "progress 2/4", "progress 3/4"}));
  EXPECT_EQ(log_->Count(), callsAtAbandon);
  EXPECT_EQ(state_.applicationTable.Count(), 2u);  // E1 and E2, stored before, stay
  EXPECT_EQ(e4Opens, 0);          // the pass stopped at its next write
}

TEST_F(InventoryPassTest, AbandonedListingAppendsAndLogsNothingMore) {
  for (const char16_t* key : {u"E1", u"E2", u"E3", u"E4"}) PutApp(local_, key, key);
  watching_.beforeEnumerate = [&](std::uint32_t index) {
    if (index == 2) gate_->Abandon();
  };
  EXPECT_EQ(EnumerateUninstallEntries(context_, u"."), 2u);
  EXPECT_EQ(EntryTexts(), (Lines{".|E1", ".|E2"}));
  const Lines calls = Rendered(log_->Calls());
  EXPECT_EQ(calls.back(), "progress 1/100");
  EXPECT_FALSE(Contains(calls, "Recherches des applications effectuées sur la machine ..|0|1"));
}

TEST_F(InventoryPassTest, JobAbandonedDuringAnIdentityTestChangesNothingMore) {
  // The passes run on a job thread as the worker runs them; the worker gives the job up
  // while the test of its second machine waits for an answer.
  PutApp(srv1_, u"A1", u"One");
  PutApp(srv2_, u"B1", u"Two");
  std::promise<void> reachedSrv2;
  watching_.Hold(u"SRV2");
  watching_.beforeConnect = [&](TextView machine) {
    if (machine == u"SRV2") reachedSrv2.set_value();
  };
  auto gate = gate_;
  TaskThread job;
  ASSERT_TRUE(job.Start([this] {
    if (EnumerateUninstallEntries(context_, u"SRV1;SRV2") != 0) ReadApplicationDetails(context_, u"SRV1;SRV2");
  }));
  reachedSrv2.get_future().wait();
  gate->Abandon();
  const std::size_t callsAtAbandon = log_->Count();
  watching_.Release(u"SRV2");
  ASSERT_TRUE(job.WaitFor(20s));
  WaitForAllTests();

  EXPECT_EQ(log_->Count(), callsAtAbandon);
  EXPECT_EQ(RenderedLines(*log_).back(), "[TestMachine] : Démarrage du test machine sur SRV2|1|1");
  EXPECT_EQ(EntryTexts(), (Lines{"SRV1|A1"}));
  EXPECT_EQ(state_.applicationTable.Count(), 0u);
  EXPECT_FALSE(state_.machineTestPassed);
}

}  // namespace
}  // namespace appcensus
